#pragma once
// Command ids of menu 128, toolbar 128 and accelerators 128.

constexpr int ID_LOG_STATUS = 32790;
constexpr int ID_FILE_OPEN_REPORT = 32791;
constexpr int ID_FILE_PRINT_REPORT = 32792;
constexpr int ID_SETTINGS = 32793;
constexpr int ID_APPEND_NOTES = 32794;
constexpr int ID_SEARCH_RANGE = 32796;
constexpr int ID_FILE_MENU = 32772;
constexpr int ID_TOOLS_TEST = 32771;

// The framework's own command ids.
constexpr int ID_FILE_NEW = 57600;
constexpr int ID_FILE_OPEN = 57601;
constexpr int ID_FILE_SAVE = 57603;
constexpr int ID_FILE_SAVE_AS = 57604;
constexpr int ID_EDIT_COPY = 57634;
constexpr int ID_EDIT_CUT = 57635;
constexpr int ID_EDIT_PASTE = 57637;
constexpr int ID_EDIT_UNDO = 57643;
constexpr int ID_APP_ABOUT = 57664;
constexpr int ID_APP_EXIT = 57665;

// The main frame's private message, posted to itself by the Log/Status command.
constexpr int WM_LOGSTATUS = 0x401;
