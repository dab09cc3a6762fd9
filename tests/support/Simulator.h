#pragma once
// The Vantrek simulator as a process of its own on a pseudo-terminal, linked
// in the test's root folder and mapped to COM6, with its transcript; and the
// ticks of a window's timer paced by the replies on the link.

#include "framework/Globals.h"
#include "link/ComPort.h"

#include <QProcess>
#include <QString>
#include <QStringList>

class Simulator {
public:
    // Starts the simulator with `options` besides its link and transcript.
    explicit Simulator(const QStringList& options = {});
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // False when the simulator could not be started or did not link.
    bool Started() const { return m_started; }
    QString TranscriptPath() const { return m_transcript; }
    // Presses the Vantrek's button: its calibration dialogue begins.
    bool PressButton();
    // The report file that the replies in the transcript make, block by
    // block, whatever was damaged, dropped or asked for twice on the way.
    QByteArray ReportFromTranscript() const;
    // The last reply the transcript notes to `command`, as it was made.
    QByteArray ReplyTo(const QByteArray& command) const;

private:
    QProcess m_process;
    QString m_transcript;
    bool m_started = false;
};

// Ticks `dlg` as its timer would until `done` holds. Each tick comes once a
// reply byte is waiting on the link, or after a tick's time when none comes,
// so a silent link still runs the window's watchdog. Gives up after 100
// silent ticks in a row (a link that stays dead) or 100000 ticks in all.
template <class Dialog, class Done> bool TickUntil(Dialog& dlg, Done done) {
    for (int ticks = 0, silent = 0; !done() && ticks < 100000 && silent < 100; ++ticks) {
        silent = ComWaitForInput(g_nCurPort, 300) > 0 ? 0 : silent + 1;
        dlg.OnTimer(1);
    }
    return done();
}
