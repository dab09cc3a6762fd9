#pragma once
// Control ids of the Log/Status window, template 140.

constexpr int IDD_LOG_STATUS = 140;
constexpr int IDC_TEMP_OFFSET_TEXT = 1127;
constexpr int IDC_TEMP_FRAME = 1036;
constexpr int IDC_TEMP_VALUE = 1035;
constexpr int IDC_PRESS_FRAME = 1037;
constexpr int IDC_PRESS_VALUE = 1034;
constexpr int IDC_BATTERY_SYMBOL = 1066;
constexpr int IDC_REC_FRAME = 1098;
constexpr int IDC_REC_LABELS = 1058;
constexpr int IDC_REC_VALUES = 1059;
constexpr int IDC_VERSION_TEXT = 1092;
constexpr int IDC_CONNECT = 1023;
constexpr int IDC_DEMO_BANNER = 1053;
constexpr int IDC_STATUS_FRAME = 1033;
constexpr int IDC_SETUP = 1024;
constexpr int IDC_PROGRESS_TEXT = 1052;
constexpr int IDC_STOPWATCH_FRAME = 1060;
constexpr int IDC_STOPWATCH = 1027;
constexpr int IDC_STOPWATCH_RESET = 1028;

// Bitmaps of the window.
constexpr int IDB_BATTERY_WARNING = 142;
constexpr int IDB_DEMO_BANNER = 168;
