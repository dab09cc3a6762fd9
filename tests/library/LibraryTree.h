#pragma once
// A tree of joint reports for the library's tests: reports made the way a
// download makes them, copied into folders of a temporary tree.

#include "FusionTrace.h"

#include <QString>

// A butt-fusion report of joint `joint` for job `job`, `samples` samples.
QByteArray MakeReportBytes(int joint, const QString& job, int samples = 300);
// A joint of a known trace: by the shipped procedure it passes, or with a
// bead pressure of 380 psi fails.
QByteArray MakeCheckedReportBytes(int joint, const QString& job, bool passes);
// Writes `bytes` to `path`, making its folder.
void PutFile(const QString& path, const QByteArray& bytes);
