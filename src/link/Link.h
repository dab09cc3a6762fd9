#pragma once
// The link layer: the four calls the windows use to talk to the Vantrek, all
// on one current port, g_nCurPort (declared with the other process-wide state).

#include <QByteArray>

constexpr int kLinkBaud = 19200;

// Opens port `port` (0 is COM1) with 3000-byte queues, the given rate and 8N1,
// and makes it the current port whether or not that succeeds. On failure
// shows "Could not open COM port!" with the error icon and returns false; the
// port is then closed.
bool LinkOpen(int port, int baud);
// Closes the current port; nothing happens when it is not open.
void LinkClose();
// Takes one received byte if one is waiting; never waits.
bool LinkGetByte(unsigned char& byte);
// Writes the whole text (without its terminator); write failures are not
// reported, as the link's watchdog notices a dead link by its silence.
void LinkPuts(const char* text);
inline void LinkPuts(const QByteArray& text) {
    LinkPuts(text.constData());
}
