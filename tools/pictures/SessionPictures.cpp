// The Log/Status window, talking to a Vantrek played here on a
// pseudo-terminal: not connected, connected, logging, in demonstration mode,
// and with the widest readings of every pressure unit.

#include "PictureVantrek.h"
#include "Pictures.h"

#include "framework/Globals.h"
#include "framework/SettingsStore.h"
#include "session/LogStatusDlg.h"
#include "setup/JointRecord.h"

#include <QByteArray>

namespace {
// The window's default port, COM6.

// What one status reply reports.
struct Reading {
    char state = '0';
    int psi = 189;
    int temp = 430;
    int battery = 87;
    QByteArray stopwatch = "0:00:05";
};

QByteArray StatusLine(const Reading& r) {
    QByteArray s = "Pw01L";
    s += r.state;
    s += "r   12e0:01:02s" + r.stopwatch;
    s += 'p' + QByteArray::number(r.psi).rightJustified(4, ' ');
    s += 't' + QByteArray::number(r.temp).rightJustified(3, '0') + " 1";
    s += 'b' + QByteArray::number(r.battery).rightJustified(3, ' ');
    s += "iVTQ: KVTQ v2.1.4 20240115";
    return s + "\r\n";
}

// A window connected to `vantrek` that has handled one status reply.
bool ShowReading(CLogStatusDlg& dlg, const PictureVantrek& vantrek, const Reading& reading) {
    dlg.Create();
    dlg.Connect();
    dlg.OnTimer(1); // the first poll
    if (!vantrek.Send(StatusLine(reading)))
        return false;
    dlg.OnTimer(1);
    return true;
}

// A joint whose recommended pressures are `ifp` in every phase: piston and
// pipe area of one square inch and no drag, so each gauge pressure is the
// interfacial pressure itself.
void StoreJoint(const QString& ifp) {
    using namespace LogData;
    WriteLogText(kPistonArea, QStringLiteral("1"));
    WriteLogText(kPipeAreaInch, QStringLiteral("1"));
    WriteLogText(kDragPressure, QStringLiteral("0"));
    for (const QString* name : {&kHeatIfp, &kSoakIfp, &kFuseIfp, &kCoolIfp})
        WriteLogText(*name, ifp);
}

void SetUnit(int unit) {
    WriteSettingInt(kKeySettings, QStringLiteral("Press Unit Inx"), unit);
}

// Writes one picture of a window that has handled `reading`.
int Picture(const PictureVantrek& vantrek, const Reading& reading, const QString& name) {
    CLogStatusDlg dlg(nullptr);
    if (!ShowReading(dlg, vantrek, reading))
        return 1;
    return SavePicture(dlg, name) ? 0 : 1;
}
} // namespace

int WriteSessionPictures() {
    PictureVantrek vantrek;
    if (!vantrek.Ok())
        return 1;
    int failures = 0;

    {
        CLogStatusDlg ready(nullptr);
        failures += !SavePicture(ready, QStringLiteral("logstatus-ready"));
    }
    failures += Picture(vantrek, Reading{}, QStringLiteral("logstatus-connected"));

    StoreJoint(QStringLiteral("75"));
    Reading logging;
    logging.state = '1';
    logging.battery = 20;
    failures += Picture(vantrek, logging, QStringLiteral("logstatus-logging"));

    WriteSettingInt(kKeySettings, QStringLiteral("Demo Mode"), 1);
    failures += Picture(vantrek, Reading{}, QStringLiteral("logstatus-demo"));
    WriteSettingInt(kKeySettings, QStringLiteral("Temp Offset"), -199);
    failures += Picture(vantrek, Reading{}, QStringLiteral("logstatus-demo-offset"));
    WriteSettingInt(kKeySettings, QStringLiteral("Demo Mode"), 0);
    WriteSettingInt(kKeySettings, QStringLiteral("Temp Offset"), 0);

    // The widest live reading (7776 psi) and large recommended pressures in
    // every unit, while logging.
    const char* units[] = {"psi", "bar", "kgcm2", "mpa"};
    const char* large[] = {"10299", "710.3", "725.3", "71.03"};
    Reading widest;
    widest.state = '1';
    widest.psi = 7776;
    for (int unit = 0; unit < 4; ++unit) {
        SetUnit(unit);
        StoreJoint(QString::fromLatin1(large[unit]));
        failures += Picture(vantrek, widest,
                            QStringLiteral("logstatus-widest-%1").arg(QLatin1String(units[unit])));
    }
    // 10 MPa and more, the reading that lost its first digit.
    Reading tenMpa;
    tenMpa.psi = 1500;
    failures += Picture(vantrek, tenMpa, QStringLiteral("logstatus-mpa"));
    SetUnit(0);
    return failures;
}
