#pragma once
// The texts sent to the Vantrek. Commands end in carriage return and line
// feed; the answers of the calibration dialogue in a carriage return alone.

#include <QByteArray>

// The protocol version: at the head of every report file and in the reserve
// data the Vantrek keeps with a joint.
inline constexpr char kProtocolVersion[] = "VTQPv0.2.5";

// Status poll. logRequest: 0 none, 2 stop logging; demoPsi: the current
// demonstration pressure, sent whether or not demonstration mode is on.
QByteArray StatusPollCommand(int logRequest, bool resetStopwatch, bool demoMode, int demoPsi);

// Report download, in this order.
QByteArray JointInfoRequest();          // "Wp2R"
QByteArray NotesRequest();              // "Wp3R"
QByteArray ReserveRequest();            // "Wp4R"
QByteArray SampleHeaderRequest();       // "Wp11"
QByteArray DataBlockRequest(int block); // "Wp12-%04d", blocks counted from 0

// Upload records: prefix, the fields' hexadecimal digits, then kRecordEnd.
// They are built in place in the window's command buffer.
inline constexpr char kJointInfoPrefix[] = "Wp02:";
inline constexpr char kNotesPrefix[] = "Wp03:";
inline constexpr char kReservePrefix[] = "Wp04:";
inline constexpr char kRecordEnd[] = "eom\r\n";

// Report buffer and diagnostics; none but the diagnostics poll is answered.
QByteArray ClearReportCommand();   // "Wp13CLR"
QByteArray RestoreReportCommand(); // "Wp14"
QByteArray DiagnosticsPoll();      // "Wp05"
QByteArray SetOffsetsCommand(int pressureOffset, int temperatureOffset);

// Calibration dialogue.
QByteArray CalibrationGo();   // "GO\r"
QByteArray CalibrationExit(); // "EXIT\r"
QByteArray CalibrationDateAnswer(int year, int month, int day);
QByteArray CalibrationSerialAnswer(int serial);
