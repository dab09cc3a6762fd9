#include "library/SqliteIndexFile.h"

#include "library/Mounts.h"
#include "library/SqlDialect.h"
#include "platform/Clock.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QVariant>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString g_localFolder;

quint32 BigEndian32(const QByteArray& bytes, int at) {
    return quint32(quint8(bytes[at])) << 24 | quint32(quint8(bytes[at + 1])) << 16 |
           quint32(quint8(bytes[at + 2])) << 8 | quint32(quint8(bytes[at + 3]));
}

QString Stamp() {
    return CurrentLocalTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
}

// A name beside `path` that nothing has yet: `<path><suffix>`, then with
// "-2", "-3", ...
QString FreeName(const QString& path, const QString& suffix) {
    QString name = path + suffix;
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = path + suffix + QStringLiteral("-%1").arg(n);
    return name;
}
} // namespace

SqliteFileFacts ReadSqliteFileFacts(const QString& path) {
    SqliteFileFacts facts;
    struct stat st {};
    if (stat(QFile::encodeName(path).constData(), &st) != 0)
        return facts;
    facts.exists = true;
    facts.size = st.st_size;
    QFile file(path);
    if (!S_ISREG(st.st_mode) || !file.open(QIODevice::ReadOnly))
        return facts;
    const QByteArray header = file.read(100);
    facts.sqlite = header.size() == 100 && header.startsWith(QByteArray("SQLite format 3\0", 16));
    if (facts.sqlite) {
        facts.version = int(qint32(BigEndian32(header, 60)));
        facts.application = BigEndian32(header, 68);
    }
    return facts;
}

void SetLocalIndexFolderForTests(const QString& folder) {
    g_localFolder = folder;
}

QString LocalIndexFolder() {
    return g_localFolder.isEmpty()
               ? QStringLiteral("/var/tmp/kelvorn-joint-reports-%1").arg(getuid())
               : g_localFolder;
}

namespace {
// Whether `path` (or the nearest folder of it that exists) lies on a
// network file system; its type in `fsType`.
bool OnNetwork(const QString& path, QString& fsType) {
    QString existing = path;
    while (!QFileInfo(existing).isDir() && existing != QLatin1String("/"))
        existing = QFileInfo(existing).absolutePath();
    struct stat st {};
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    if (stat(QFile::encodeName(canonical).constData(), &st) != 0)
        return false;
    fsType = MountOf(canonical, st.st_dev, false).fsType;
    return IsNetworkFileSystem(fsType);
}

} // namespace

QString ReviewsDatabase(const QString& indexPath) {
    QString base = indexPath;
    if (base.endsWith(QLatin1String(".sqlite")))
        base.chop(7);
    return base + QStringLiteral(".reviews.sqlite");
}

IndexPlace PlaceIndex(const QString& requested, const QString& durableFolder) {
    IndexPlace place{requested, ReviewsDatabase(requested), QString()};
    QString fsType;
    if (!OnNetwork(QFileInfo(requested).absolutePath(), fsType))
        return place;
    // One local index per index asked for, named after it.
    const QString tag = QString::fromLatin1(
        QCryptographicHash::hash(QFile::encodeName(QFileInfo(requested).absoluteFilePath()),
                                 QCryptographicHash::Sha256)
            .toHex()
            .left(12));
    const QString name = QFileInfo(requested).completeBaseName() + QLatin1Char('-') + tag;
    place.path = LocalIndexFolder() + QLatin1Char('/') + name + QStringLiteral(".sqlite");
    QString durableType;
    place.reviews =
        !durableFolder.isEmpty() && !OnNetwork(durableFolder, durableType)
            ? durableFolder + QLatin1Char('/') + name + QStringLiteral(".reviews.sqlite")
            : ReviewsDatabase(place.path);
    if (!QFileInfo::exists(place.path))
        place.warning =
            QStringLiteral("%1 lies on a network file system (%2), where an SQLite index is not "
                           "safe; the library index is kept on this computer's disk instead, in "
                           "%3, and its reviews in %4. To share one library between desks, use "
                           "the shared PostgreSQL index.")
                .arg(requested, fsType, place.path, place.reviews);
    return place;
}

int SqlitePrimaryCode(const QSqlError& error) {
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? code & 0xff : -1;
}

bool IsDamage(const QSqlError& error) {
    const int code = SqlitePrimaryCode(error);
    return code == 11 || code == 26;
}

bool IsBusy(const QSqlError& error) {
    const int code = SqlitePrimaryCode(error);
    return code == 5 || code == 6;
}

QString SqlErrorText(const QSqlError& error) {
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.text();
    return text.isEmpty() ? QStringLiteral("unknown error") : text;
}

bool SetAsideDamaged(const QString& path, const QString& why, QString& message) {
    const QString aside = FreeName(path, QStringLiteral(".damaged-") + Stamp());
    if (!QFile::rename(path, aside)) {
        message =
            QStringLiteral("The library index %1 is %2 and cannot be set aside.").arg(path, why);
        return false;
    }
    for (const char* side : {"-wal", "-shm"})
        if (QFileInfo::exists(path + QLatin1String(side)))
            QFile::rename(path + QLatin1String(side), aside + QLatin1String(side));
    message = QStringLiteral("The library index was %1; it was set aside as %2 and is built "
                             "again from the reports.")
                  .arg(why, aside);
    return true;
}

bool MigrateSqlite(QSqlDatabase& db, const QString& path, const CSqlDialect& dialect,
                   qint64 application, int from, const std::vector<SchemaStep>& steps, bool backup,
                   QString& error) {
    for (int v = from; v < int(steps.size()); ++v) {
        QSqlQuery q(db);
        if (backup) {
            // A copy as it was, consistent even while others read it.
            const QString copy =
                FreeName(path, QStringLiteral(".before-v%1-").arg(v + 1) + Stamp());
            q.prepare(QStringLiteral("VACUUM INTO ?"));
            q.addBindValue(copy);
            if (!q.exec()) {
                error = QStringLiteral("%1 could not be copied before its upgrade: %2")
                            .arg(path, SqlErrorText(q.lastError()));
                return false;
            }
            q.finish();
        }
        if (!db.transaction()) {
            error = SqlErrorText(db.lastError());
            return false;
        }
        bool ok = steps[size_t(v)](db);
        for (const QString& stmt : dialect.WriteMark({application, v + 1}))
            ok = ok && q.exec(stmt);
        if (!ok || !db.commit()) {
            error =
                QStringLiteral("%1 could not be brought to version %2: %3")
                    .arg(path)
                    .arg(v + 1)
                    .arg(SqlErrorText(q.lastError().isValid() ? q.lastError() : db.lastError()));
            db.rollback();
            return false;
        }
    }
    return true;
}
