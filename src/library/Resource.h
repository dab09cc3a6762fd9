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

constexpr int IDD_LIBRARY_REVIEW = 403;
constexpr int IDC_LIB_REVIEW_JOINTS = 4031;
constexpr int IDC_LIB_REVIEW_ACCEPTED = 4032;
constexpr int IDC_LIB_REVIEW_REJECTED = 4033;
constexpr int IDC_LIB_REVIEW_RETEST = 4034;
constexpr int IDC_LIB_REVIEW_NAME = 4035;
constexpr int IDC_LIB_REVIEW_COMMENT = 4036;
constexpr int IDC_LIB_REVIEW_VISUAL = 4037;
constexpr int IDC_LIB_REVIEW_BEAD = 4038;
constexpr int IDC_LIB_REVIEW_BEND = 4039;
constexpr int IDC_LIB_REVIEW_HISTORY = 4040;
constexpr int IDC_LIB_REVIEW_HISTORY_TITLE = 4041;

constexpr int IDD_LIBRARY_DOSSIER = 404;
constexpr int IDC_LIB_DOSSIER_JOB = 4051;
constexpr int IDC_LIB_DOSSIER_DATES = 4052;
constexpr int IDC_LIB_DOSSIER_SINCE = 4053;
constexpr int IDC_LIB_DOSSIER_UNTIL = 4054;
constexpr int IDC_LIB_DOSSIER_FILE = 4055;
constexpr int IDC_LIB_DOSSIER_BROWSE = 4056;
constexpr int IDC_LIB_DOSSIER_LETTER = 4057;
constexpr int IDC_LIB_DOSSIER_COUNT = 4058;
