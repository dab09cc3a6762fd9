#include "library/JointOpening.h"

#include "library/JointTableModel.h"
#include "library/LibraryFolders.h"
#include "library/LibraryScanner.h"
#include "library/NamedRoots.h"
#include "platform/RegularFile.h"
#include "platform/ViewerSocket.h"
#include "report/VtkDoc.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

JointOpening OpenJointCopy(const JointRow& row, int ms) {
    JointOpening result;
    QByteArray path;
    for (const JointFile& f : row.copies) {
        if (f.status != QLatin1String("present") || f.path.isEmpty())
            continue;
        // Where this desk spells a named folder's names otherwise, the file
        // is looked for by its name.
        const QByteArray here =
            f.base.isEmpty() ? f.path : ResolveOnDesk(f.base, f.path.mid(f.base.size() + 1));
        QFile file;
        if (OpenRegularFile(file, here)) {
            path = here;
            break;
        }
    }
    if (path.isEmpty()) {
        result.failure = row.files.value(0) + QStringLiteral(": no copy of this joint can be "
                                                             "opened now");
        return result;
    }
    result.path = QFile::decodeName(path);
    result.handedOver = HandToViewer(ViewerSocketPath(), path, ms) == ViewerAnswer::Opened;
    if (!result.handedOver) {
        const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/vtq-ppc");
        result.program = QFileInfo(beside).isExecutable() ? beside : QStringLiteral("vtq-ppc");
    }
    return result;
}

namespace {
QByteArray RealPath(const QString& path) {
    char* real = realpath(QFile::encodeName(path).constData(), nullptr);
    if (!real)
        return QByteArray();
    QByteArray out(real);
    std::free(real);
    return out;
}

// Writes the report's bytes into `folder` under `name`, or "name (N).kjr"
// when that is taken by other bytes; the name used, or empty. The same
// bytes there already are the report imported before.
QString CopyIn(const QByteArray& bytes, const QString& folder, const QString& name,
               QString& failure) {
    const QString base = name.left(name.size() - 4);
    const QByteArray hash = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    // Written whole beside, under a name no scan reads, then linked under
    // the first free name: a name is never taken from a file there.
    const QString part = folder + QStringLiteral("/.import-%1.part").arg(getpid());
    QFile out(part);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) != bytes.size() ||
        !out.flush() || fsync(out.handle()) != 0) {
        failure = QStringLiteral("%1: cannot be written (%2)").arg(folder, out.errorString());
        out.close();
        QFile::remove(part);
        return QString();
    }
    out.close();
    QString placed;
    for (int n = 1; n < 10000 && placed.isEmpty(); ++n) {
        const QString target = folder + QLatin1Char('/') + base +
                               (n == 1 ? QString() : QStringLiteral(" (%1)").arg(n)) +
                               QStringLiteral(".kjr");
        if (link(QFile::encodeName(part).constData(), QFile::encodeName(target).constData()) == 0) {
            placed = target;
            break;
        }
        if (errno != EEXIST) {
            failure = QStringLiteral("%1: cannot be written (%2)")
                          .arg(target, QString::fromLocal8Bit(std::strerror(errno)));
            break;
        }
        QFile there;
        if (OpenRegularFile(there, target) &&
            QCryptographicHash::hash(ReadAtMost(there, kMaxReportBytes),
                                     QCryptographicHash::Sha256) == hash)
            placed = target; // imported before
    }
    QFile::remove(part);
    return placed;
}
} // namespace

DropPlacing PlaceDropped(const QStringList& paths, const QStringList& libraryFolders,
                         const QString& importFolder) {
    DropPlacing placing;
    std::vector<QByteArray> roots;
    for (const QString& f : libraryFolders) {
        const QByteArray real = RealPath(f);
        if (!real.isEmpty())
            roots.push_back(real);
    }
    const auto inLibrary = [&](const QByteArray& real) {
        for (const QByteArray& root : roots)
            if (real.startsWith(root + '/'))
                return true;
        return false;
    };
    CVtkDoc doc{CVtkDoc::Detached{}};
    for (const QString& path : paths) {
        struct stat st {};
        if (stat(QFile::encodeName(path).constData(), &st) != 0) {
            placing.problems << QStringLiteral("%1: cannot be found").arg(path);
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            placing.folders << LibraryRootPath(path);
            continue;
        }
        if (!path.endsWith(QLatin1String(".kjr"), Qt::CaseInsensitive)) {
            placing.problems << QStringLiteral("%1: not a joint report (.kjr)").arg(path);
            continue;
        }
        const QByteArray real = RealPath(path);
        if (inLibrary(real)) {
            placing.reports << QFile::decodeName(real);
            continue;
        }
        QFile file;
        const QByteArray bytes =
            OpenRegularFile(file, path) ? ReadAtMost(file, kMaxReportBytes) : QByteArray();
        if (file.error() != QFileDevice::NoError || bytes.isEmpty() ||
            bytes.size() > kMaxReportBytes || !doc.LoadReportImage(bytes)) {
            placing.problems << QStringLiteral("%1: not a joint report that can be read").arg(path);
            continue;
        }
        doc.Unload();
        QString failure;
        if (!QDir().mkpath(importFolder)) {
            placing.problems << QStringLiteral("%1: cannot be made").arg(importFolder);
            continue;
        }
        const QString placed = CopyIn(bytes, importFolder, QFileInfo(path).fileName(), failure);
        if (placed.isEmpty()) {
            placing.problems << failure;
            continue;
        }
        placing.imported = true;
        placing.reports << placed;
    }
    return placing;
}
