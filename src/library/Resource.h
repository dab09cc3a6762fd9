#pragma once
// Template and control ids of the library's dialogs.

constexpr int IDD_LIBRARY_FOLDERS = 400;
constexpr int IDC_LIB_FOLDER_LIST = 4001;
constexpr int IDC_LIB_ADD = 4002;
constexpr int IDC_LIB_REMOVE = 4003;
constexpr int IDC_LIB_CARD = 4004;
constexpr int IDC_LIB_CARD_BROWSE = 4005;

constexpr int IDD_LIBRARY_CHECK = 401;
constexpr int IDC_LIB_CHECK_FILE = 4011;
constexpr int IDC_LIB_CHECK_TEXT = 4012;
