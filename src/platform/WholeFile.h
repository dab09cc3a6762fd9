#pragma once
// Files that must never be left half written: reports, their backups, the
// pictures and pages made from them.

#include <QByteArray>
#include <QString>
#include <functional>

class QIODevice;

// Writes `bytes` beside `path` and renames the result over `path` only when
// every byte was written, so a full card, a pulled card or a crash on the way
// leaves what was there before. False when nothing was replaced.
bool WriteWholeFile(const QString& path, const QByteArray& bytes);

// The same for content that a writer streams: `write` fills the file beside
// `path` and says whether it managed; only then is it renamed into place.
bool WriteWholeFileWith(const QString& path, const std::function<bool(QIODevice&)>& write);

// True when the two names reach one file, through symbolic or hard links.
// A name that reaches no file is no other file.
bool IsSameFile(const QString& a, const QString& b);
