#pragma once
// The port layer: eight serial port records on POSIX termios. Every call takes
// the port index first and returns a result code: 0 or more for success (a
// read gives the byte), a negative code for a failure. Nothing here blocks
// except a write, which waits until the driver has taken every byte.

#include <QString>

constexpr int kComPortCount = 8;

// Result codes.
constexpr int COM_BAD_PORT = -1;   // index outside 0 to kComPortCount - 1
constexpr int COM_NOT_OPEN = -3;   // the record is closed
constexpr int COM_NO_DATA = -100;  // read: no byte waiting
constexpr int COM_BAD_ARGS = -101; // write: no buffer or nothing to write
constexpr int COM_FAILED = -103;   // a system call failed; see g_nComLastError

// Parity codes of ComSetParams.
constexpr int NOPARITY = 0;
constexpr int ODDPARITY = 1;
constexpr int EVENPARITY = 2;
constexpr int MARKPARITY = 3;
constexpr int SPACEPARITY = 4;
// Stop bit codes of ComSetParams.
constexpr int ONESTOPBIT = 0;
constexpr int ONE5STOPBITS = 1;
constexpr int TWOSTOPBITS = 2;

// errno of the last system call that failed (a COM_FAILED result).
extern int g_nComLastError;

// The device that port `index` opens: the text value "COM<index+1>" of the
// settings key "Ports" when there is one, else /dev/rfcomm<index>.
QString ComDevicePath(int index);

// Opens the port raw at 19200 baud, 8 data bits, no parity, one stop bit, no
// flow control, DTR and RTS low where the device allows. The queue sizes are
// a request the system may not honour, as on the handheld. A port already
// open here, or locked by another copy of the program, is busy (COM_FAILED,
// EBUSY).
int ComOpen(int port, int rxQueue, int txQueue);
// A code 0 to 9 (110 to 115200 baud), or any larger value as the rate itself.
int ComSetBaud(int port, int baud);
int ComSetParams(int port, int parity, int stopBits, int byteSize);
int ComGetByte(int port);
int ComWrite(int port, const char* data, int length);
// Puts back the line settings found at open, then closes.
int ComClose(int port);
// Waits at most `milliseconds` for a received byte: 1 when one is waiting,
// 0 when none came, or a negative code.
int ComWaitForInput(int port, int milliseconds);

// How long a write may go without the driver taking a byte before it gives up
// (a far end that stopped reading would otherwise hold the program forever).
void ComSetWriteStallLimit(int milliseconds);
