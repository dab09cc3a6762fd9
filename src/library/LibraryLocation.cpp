#include "library/LibraryLocation.h"

#include "framework/SettingsStore.h"
#include "library/LibraryFolders.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

namespace {
const QString kPasswordRefused =
    QStringLiteral("a password in the library's address is refused (a settings file, a process "
                   "list or a shell's history would show it): put it in the PostgreSQL password "
                   "file (~/.pgpass, readable by its owner only) or in $PGPASSWORD");

// Parameters the client library may be given in the URL's query; a
// password is not one of them.
const QStringList kOptions{QStringLiteral("sslmode"),         QStringLiteral("sslrootcert"),
                           QStringLiteral("sslcert"),         QStringLiteral("sslkey"),
                           QStringLiteral("sslcrl"),          QStringLiteral("passfile"),
                           QStringLiteral("connect_timeout"), QStringLiteral("gssencmode")};

QString Decode(const QString& text) {
    return QUrl::fromPercentEncoding(text.toUtf8());
}

bool Port(const QString& text, int& port) {
    bool ok = false;
    port = text.toInt(&ok);
    return ok && port > 0 && port < 65536 && !text.startsWith(QLatin1Char('+'));
}
} // namespace

bool IsServerUrl(const QString& text) {
    return text.startsWith(QLatin1String("postgresql:"), Qt::CaseInsensitive) ||
           text.startsWith(QLatin1String("postgres:"), Qt::CaseInsensitive);
}

LibraryLocation ParseLibraryLocation(const QString& text) {
    LibraryLocation l;
    if (!IsServerUrl(text)) {
        if (text.trimmed().isEmpty())
            l.error = QStringLiteral("no library index is named");
        else
            l.path = QFileInfo(text).absoluteFilePath();
        return l;
    }
    l.server = true;
    const auto fail = [&](const QString& why) {
        l.error = QStringLiteral("%1: %2").arg(l.Display(), why);
        return l;
    };
    const qsizetype scheme = text.indexOf(QLatin1String("://"));
    if (scheme < 0)
        return fail(QStringLiteral("a server is named postgresql://[USER@]HOST[:PORT]/DATABASE"));
    QString rest = text.mid(scheme + 3);
    QString query;
    if (const qsizetype q = rest.indexOf(QLatin1Char('?')); q >= 0) {
        query = rest.mid(q + 1);
        rest.truncate(q);
    }
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    const QString authority = slash < 0 ? rest : rest.left(slash);
    l.database = slash < 0 ? QString() : Decode(rest.mid(slash + 1));
    QString hostPort = authority;
    if (const qsizetype at = authority.lastIndexOf(QLatin1Char('@')); at >= 0) {
        const QString userInfo = authority.left(at);
        hostPort = authority.mid(at + 1);
        if (userInfo.contains(QLatin1Char(':')))
            return fail(kPasswordRefused);
        l.user = Decode(userInfo);
    }
    if (hostPort.contains(QLatin1Char(',')))
        return fail(QStringLiteral("one server only, please"));
    QString portText;
    if (hostPort.startsWith(QLatin1Char('['))) {
        const qsizetype close = hostPort.indexOf(QLatin1Char(']'));
        if (close < 0)
            return fail(QStringLiteral("an address in [ ] lacks its ]"));
        l.host = hostPort.mid(1, close - 1);
        const QString after = hostPort.mid(close + 1);
        if (!after.isEmpty() && !after.startsWith(QLatin1Char(':')))
            return fail(QStringLiteral("what follows the address is not a port"));
        portText = after.mid(1);
    } else {
        const qsizetype colon = hostPort.lastIndexOf(QLatin1Char(':'));
        l.host = Decode(colon < 0 ? hostPort : hostPort.left(colon));
        if (colon >= 0)
            portText = hostPort.mid(colon + 1);
    }
    if (!portText.isEmpty() && !Port(portText, l.port))
        return fail(QStringLiteral("%1 is no port").arg(portText));
    for (const QString& pair : query.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const QString key = Decode(pair.section(QLatin1Char('='), 0, 0));
        const QString value = Decode(pair.section(QLatin1Char('='), 1));
        if (key == QLatin1String("password"))
            return fail(kPasswordRefused);
        if (key == QLatin1String("host")) {
            l.host = value;
        } else if (key == QLatin1String("port")) {
            if (!Port(value, l.port))
                return fail(QStringLiteral("%1 is no port").arg(value));
        } else if (key == QLatin1String("user")) {
            l.user = value;
        } else if (key == QLatin1String("dbname")) {
            l.database = value;
        } else if (kOptions.contains(key)) {
            // The client library reads options as words: a value is quoted
            // for it, and one that could end the quote is refused.
            if (value.contains(QLatin1Char('\'')) || value.contains(QLatin1Char('\\')) ||
                value.contains(QLatin1Char(';')))
                return fail(QStringLiteral("the value of %1 cannot be used").arg(key));
            l.options << QStringLiteral("%1='%2'").arg(key, value);
        } else {
            return fail(QStringLiteral("%1 is not a parameter vtq-library passes on").arg(key));
        }
    }
    if (l.database.isEmpty() || l.database.contains(QLatin1Char('/')))
        return fail(QStringLiteral("it names no database (postgresql://HOST/DATABASE)"));
    return l;
}

QString LibraryLocation::Display() const {
    if (!server)
        return path;
    const bool socket = host.startsWith(QLatin1Char('/'));
    QString text = QStringLiteral("postgresql://");
    if (!user.isEmpty())
        text += user + QLatin1Char('@');
    if (!socket)
        text += host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    if (port > 0)
        text += QLatin1Char(':') + QString::number(port);
    text += QLatin1Char('/') + database;
    if (socket)
        text += QStringLiteral("?host=") + host;
    return text;
}

QString ChosenLibraryDatabase(const QString& given) {
    if (!given.isEmpty())
        return given;
    const QByteArray env = qgetenv("VTQ_LIBRARY_DB");
    if (!env.isEmpty())
        return QFile::decodeName(env);
    const QString setting = ReadSettingText(kKeyLibrary, QStringLiteral("Database"), QString());
    if (!setting.trimmed().isEmpty())
        return setting.trimmed();
    return StandardLibraryDatabase();
}

QString StandardLibraryDatabase() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Kelvorn/Kelvorn Joint Reports/library.sqlite");
}
