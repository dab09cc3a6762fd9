#include "app/Strings.h"

#include <map>

QString LoadString(int id) {
    static const std::map<int, const char*> table = {
        {IDS_SOCKETS_FAILED, "Windows sockets initialization failed."},
        {IDS_FILE, "File"},
        {IDS_ABOUT, "About"},
        {IDS_TIP_LOG_STATUS, "Log/Status..."},
        {IDS_TIP_OPEN, "Open..."},
        {IDS_TIP_PRINT, "Print..."},
        {IDS_REPORT_FOLDER, "\\Joint Reports"},
        {IDS_MAKERS_NOTICE, "Copyright"},
        {IDS_REPORT_FILTER, "Kelvorn Joint Report (*.kjr)|*.kjr||"},
        {IDS_TEMP_OFFSET_FMT, "Temp Offset: %d%s"},
    };
    const auto it = table.find(id);
    return it == table.end() ? QString() : QString::fromUtf8(it->second);
}
