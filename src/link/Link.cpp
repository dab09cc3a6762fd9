#include "link/Link.h"

#include "framework/Globals.h"
#include "framework/Strings.h"
#include "link/ComPort.h"
#include "platform/MessageBox.h"

#include <cstring>

bool LinkOpen(int port, int baud) {
    g_nCurPort = port;
    constexpr int kQueueSize = 3000;
    bool ok = ComOpen(port, kQueueSize, kQueueSize) == 0;
    // A port that opened but refused its settings is closed again, so that
    // the next attempt does not find it busy.
    if (ok && (ComSetBaud(port, baud) != 0 || ComSetParams(port, NOPARITY, ONESTOPBIT, 8) != 0)) {
        ComClose(port);
        ok = false;
    }
    if (!ok)
        MessageBox(LoadString(IDS_COULD_NOT_OPEN_PORT), QString(), MB_OK | MB_ICONERROR);
    return ok;
}

void LinkClose() {
    ComClose(g_nCurPort);
}

bool LinkGetByte(unsigned char& byte) {
    const int result = ComGetByte(g_nCurPort);
    if (result < 0)
        return false;
    byte = static_cast<unsigned char>(result);
    return true;
}

void LinkPuts(const char* text) {
    if (text != nullptr)
        ComWrite(g_nCurPort, text, static_cast<int>(std::strlen(text)));
}
