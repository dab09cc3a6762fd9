#include "platform/WholeFile.h"

#include <QFile>
#include <QSaveFile>
#include <sys/stat.h>

bool WriteWholeFileWith(const QString& path, const std::function<bool(QIODevice&)>& write) {
    QSaveFile file(path);
    // Unbuffered: commit() renames without looking at what its own final
    // flush reports, so a buffered write cut short would still replace the
    // old file; written straight through, the failure is seen first.
    // Left uncommitted, what was written beside is removed with `file`.
    return file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && write(file) && file.commit();
}

bool WriteWholeFile(const QString& path, const QByteArray& bytes) {
    return WriteWholeFileWith(
        path, [&bytes](QIODevice& file) { return file.write(bytes) == bytes.size(); });
}

bool IsSameFile(const QString& a, const QString& b) {
    struct stat first = {};
    struct stat second = {};
    return stat(QFile::encodeName(a).constData(), &first) == 0 &&
           stat(QFile::encodeName(b).constData(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}
