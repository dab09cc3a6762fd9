#pragma once
// Template and control ids of the library's dialogs.

constexpr int IDD_LIBRARY_FOLDERS = 400;
constexpr int IDC_LIB_FOLDER_LIST = 4001;
constexpr int IDC_LIB_ADD = 4002;
constexpr int IDC_LIB_REMOVE = 4003;
constexpr int IDC_LIB_CARD = 4004;
constexpr int IDC_LIB_CARD_BROWSE = 4005;
constexpr int IDC_LIB_ROOT_LIST = 4006;
constexpr int IDC_LIB_HERE = 4007;
constexpr int IDC_LIB_RETIRE = 4008;
constexpr int IDC_LIB_ADD_OTHER = 4009;
constexpr int IDC_LIB_RESCAN_MINUTES = 4010;
constexpr int IDC_LIB_FOLDERS_LABEL = 4014;
constexpr int IDC_LIB_CARD_LABEL = 4013;

constexpr int IDD_LIBRARY_CHECK = 401;
constexpr int IDC_LIB_CHECK_FILE = 4011;
constexpr int IDC_LIB_CHECK_TEXT = 4012;

constexpr int IDD_LIBRARY_FORGET = 402;
constexpr int IDC_LIB_FORGET_DAYS = 4021;
constexpr int IDC_LIB_FORGET_LIST = 4022;
constexpr int IDC_LIB_FORGET_COUNT = 4023;
