#pragma once
// Opening a file that outside data names (a report given on the command
// line or chosen in Open): only a regular file is opened, and never in a way
// that can block. A named pipe would hold open() until a writer came; a
// device or a folder is no report either.

#include <QFile>
#include <QString>

// Opens `path` into `file` for reading; false when it is not a regular file
// or cannot be opened.
bool OpenRegularFile(QFile& file, const QString& path);
