#include "link/CommandText.h"

#include <cstdio>

namespace {
template <typename... Args> QByteArray Text(const char* format, Args... args) {
    char buffer[64];
    const int length = std::snprintf(buffer, sizeof buffer, format, args...);
    return QByteArray(buffer, length < 0 ? 0 : qMin(length, int(sizeof buffer) - 1));
}
} // namespace

QByteArray StatusPollCommand(int logRequest, bool resetStopwatch, bool demoMode, int demoPsi) {
    return Text("Wp01L%ds%dD%dp%d\r\n", logRequest, resetStopwatch ? 1 : 0, demoMode ? 1 : 0,
                demoPsi);
}

QByteArray JointInfoRequest() {
    return QByteArrayLiteral("Wp2R\r\n");
}
QByteArray NotesRequest() {
    return QByteArrayLiteral("Wp3R\r\n");
}
QByteArray ReserveRequest() {
    return QByteArrayLiteral("Wp4R\r\n");
}
QByteArray SampleHeaderRequest() {
    return QByteArrayLiteral("Wp11\r\n");
}
QByteArray DataBlockRequest(int block) {
    return Text("Wp12-%04d\r\n", block);
}

QByteArray ClearReportCommand() {
    return QByteArrayLiteral("Wp13CLR\r\n");
}
QByteArray RestoreReportCommand() {
    return QByteArrayLiteral("Wp14\r\n");
}
QByteArray DiagnosticsPoll() {
    return QByteArrayLiteral("Wp05\r\n");
}
QByteArray SetOffsetsCommand(int pressureOffset, int temperatureOffset) {
    return Text("Wp06c%dC%d\r\n", pressureOffset, temperatureOffset);
}

QByteArray CalibrationGo() {
    return QByteArrayLiteral("GO\r");
}
QByteArray CalibrationExit() {
    return QByteArrayLiteral("EXIT\r");
}
QByteArray CalibrationDateAnswer(int year, int month, int day) {
    return Text("%04d%02d%02d\r", year, month, day);
}
QByteArray CalibrationSerialAnswer(int serial) {
    return Text("%d\r", serial);
}
