#pragma once
// Opening a file that outside data names (a report given on the command
// line or chosen in Open): only a regular file is opened, and never in a way
// that can block. A named pipe would hold open() until a writer came; a
// device or a folder is no report either.

#include <QByteArray>
#include <QFile>
#include <QString>

// Opens `path` into `file` for reading; false when it is not a regular file
// or cannot be opened.
bool OpenRegularFile(QFile& file, const QString& path);
// The same for a path as the file system's bytes (a name need not be valid
// text); with `noLinks`, a symbolic link in its last part is refused.
bool OpenRegularFile(QFile& file, const QByteArray& path, bool noLinks = false);

// Reads the opened file to its end, but no more than `limit` + 1 bytes (so
// that a caller sees one too large); memory grows with what is read, not
// with the limit. A read error shows in file.error().
QByteArray ReadAtMost(QFile& file, qint64 limit);
