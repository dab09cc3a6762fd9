#include "platform/WholeFile.h"

#include <QSaveFile>

bool WriteWholeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    // Unbuffered: commit() renames without looking at what its own final
    // flush reports, so a buffered write cut short would still replace the
    // old file; written straight through, the failure is seen first.
    return file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
           file.write(bytes) == bytes.size() && file.commit();
}
