#pragma once
// Files that must never be left half written: reports, their backups.

#include <QByteArray>
#include <QString>

// Writes `bytes` beside `path` and renames the result over `path` only when
// every byte was written, so a full card, a pulled card or a crash on the way
// leaves what was there before. False when nothing was replaced.
bool WriteWholeFile(const QString& path, const QByteArray& bytes);
