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
