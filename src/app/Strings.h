#pragma once
// The program's string table: every numbered text, word for word.

#include <QString>

enum StringId : int {
    IDS_SOCKETS_FAILED = 104,
    IDS_FILE = 65001,
    IDS_ABOUT = 65007,
    IDS_TIP_LOG_STATUS = 65008,
    IDS_TIP_OPEN = 65009,
    IDS_TIP_PRINT = 65010,
    IDS_REPORT_FOLDER = 65011,
    IDS_MAKERS_NOTICE = 65071,
    IDS_REPORT_FILTER = 65097,
    IDS_TEMP_OFFSET_FMT = 65134,
};

// The text of string `id`; empty for a number the table does not hold.
QString LoadString(int id);
