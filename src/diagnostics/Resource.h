#pragma once
// Control ids of the Settings dialog, template 145.

constexpr int IDD_SETTINGS = 145;
constexpr int IDC_PORT_LABEL = 1091;
constexpr int IDC_PORT_LIST = 1090;
constexpr int IDC_DEMO_MODE = 1085;
constexpr int IDC_PRESS_PSI = 1040;
constexpr int IDC_PRESS_BAR = 1041;
constexpr int IDC_PRESS_KGCM2 = 1042;
constexpr int IDC_PRESS_MPA = 1043;
constexpr int IDC_TEMP_FRAME = 1081;
constexpr int IDC_TEMP_F = 1044;
constexpr int IDC_TEMP_C = 1045;
constexpr int IDC_TEMP_OFFSET = 1099;

// Diagnostics dialog, template 170.
constexpr int IDD_DIAGNOSTICS = 170;
constexpr int IDC_DIAG_PRESSURE = 1073;
constexpr int IDC_DIAG_TEMPERATURE = 1079;
constexpr int IDC_DIAG_PRESS_OFFSET_TEXT = 1074;
constexpr int IDC_DIAG_BUTTON = 1075;
constexpr int IDC_DIAG_BATTERY = 1076;
constexpr int IDC_DIAG_PRESS_OFFSET = 1077;
constexpr int IDC_DIAG_CHANGE_OFFSET = 1078;
constexpr int IDC_DIAG_TEMP_OFFSET_TEXT = 1080;
constexpr int IDC_DIAG_TEMP_OFFSET = 1081;
constexpr int IDC_DIAG_STATE = 1083;
constexpr int IDC_DIAG_CLEAR = 1086;
constexpr int IDC_DIAG_LAST = 1088;
constexpr int IDC_DIAG_DUMP = 1089;
