#include "PgTestServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace {
int g_databases = 0;
} // namespace

QString PgTestSocket(QString* error) {
    const QString dir = qEnvironmentVariable("VTQ_PG_TEST_DIR");
    QFile file(dir + QStringLiteral("/socket"));
    if (dir.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = dir.isEmpty()
                         ? QStringLiteral("no PostgreSQL test server: $VTQ_PG_TEST_DIR is not set "
                                          "(ctest starts one; by hand: scripts/pg-test-server "
                                          "start DIR, then VTQ_PG_TEST_DIR=DIR)")
                         : QStringLiteral("no PostgreSQL test server in %1: it did not start "
                                          "(see %1/server.log, or run scripts/pg-test-server "
                                          "start %1)")
                               .arg(dir);
        return QString();
    }
    return QString::fromLocal8Bit(file.readAll()).trimmed();
}

bool PgAdmin(const QString& database, const QStringList& statements, QString* error) {
    QString socketError;
    const QString socket = PgTestSocket(&socketError);
    if (socket.isEmpty()) {
        if (error)
            *error = socketError;
        return false;
    }
    const QString name = QStringLiteral("pg-admin");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(socket);
        db.setUserName(QStringLiteral("vtq"));
        db.setDatabaseName(database);
        ok = db.open();
        QString why = db.lastError().text();
        QSqlQuery q(db);
        for (const QString& s : statements) {
            if (!ok)
                break;
            ok = q.exec(s);
            if (!ok)
                why = s + QStringLiteral(": ") + q.lastError().text();
        }
        if (!ok && error)
            *error = QStringLiteral("the PostgreSQL test server: %1").arg(why);
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

TestDatabase::TestDatabase() {
    m_socket = PgTestSocket(&m_error);
    if (m_socket.isEmpty())
        return;
    m_name =
        QStringLiteral("vtq_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++g_databases);
    PgAdmin(QStringLiteral("postgres"),
            {QStringLiteral("CREATE DATABASE %1 TEMPLATE template0").arg(m_name)}, &m_error);
}

TestDatabase::~TestDatabase() {
    if (Ready())
        PgAdmin(QStringLiteral("postgres"),
                {QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_name)});
}

QString TestDatabase::Url() const {
    return QStringLiteral("postgresql://vtq@%1/%2")
        .arg(QString::fromLatin1(QUrl::toPercentEncoding(m_socket)), m_name);
}

bool TestDatabase::Admin(const QStringList& statements, QString* error) const {
    return PgAdmin(m_name, statements, error);
}
