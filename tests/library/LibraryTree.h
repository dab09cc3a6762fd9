#pragma once
// A tree of joint reports for the library's tests: reports made the way a
// download makes them, copied into folders of a temporary tree.

#include "ReportMaker.h"

#include <QString>

// A butt-fusion report of joint `joint` for job `job`, `samples` samples.
QByteArray MakeReportBytes(int joint, const QString& job, int samples = 300);
// Writes `bytes` to `path`, making its folder.
void PutFile(const QString& path, const QByteArray& bytes);
