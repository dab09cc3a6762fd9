#pragma once
// Template numbers, control ids and window messages of the calibration mode.

constexpr int IDD_CHECK_VANTREK = 177;
constexpr int IDD_CALIBRATION = 178;
constexpr int IDD_ACCESS_CODE = 179;
constexpr int IDD_CALIB_PARAMS = 180;
constexpr int IDD_SCROLL = 181;
constexpr int IDD_CALIB_SUMMARY = 182;

// Gateway, template 177.
constexpr int IDC_HIDDEN_STRIP = 1104;
constexpr int IDC_VIEW_CALIB_DATA = 1122;

// Access code, template 179.
constexpr int IDC_ACCESS_CODE = 1105;

// Scroll dialog, template 181: its one child, the page container.
constexpr int IDC_PAGE_CONTAINER = 1001;

// Parameters page, template 180.
constexpr int IDC_COMPANY = 1106;
constexpr int IDC_HINT = 1107;
constexpr int IDC_TECHNICIAN = 1108;
constexpr int IDC_PYRO_MODEL = 1110;
constexpr int IDC_PYRO_SERIAL = 1111;
constexpr int IDC_PRESS_CAL_MODEL = 1112;
constexpr int IDC_PRESS_CAL_SERIAL = 1113;
constexpr int IDC_PYRO_CERT = 1114;
constexpr int IDC_PYRO_EXPIRE = 1115;
constexpr int IDC_PRESS_CAL_CERT = 1116;
constexpr int IDC_PRESS_CAL_EXPIRE = 1117;
constexpr int IDC_SAVE = 1118;
constexpr int IDC_DATE_TIME = 1121;
constexpr int IDC_XDCR_SERIAL = 1125;
constexpr int IDC_SERIAL_DIGITS = 1126;

// Calibration, template 178.
constexpr int IDC_CALIB_LOG = 1120;

// Summary, template 182.
constexpr int IDC_SUMMARY = 1123;
constexpr int IDC_SESSION_LOG = 1124;

// Messages from a page to its container, passed on to the container's
// parent: the page was accepted or cancelled.
constexpr int WM_PAGE_ACCEPTED = 1028;
constexpr int WM_PAGE_CANCELLED = 1029;
