#include "PgTestServer.h"

#include "support/RunTool.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
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

bool PgAdmin(const QString& database, const QStringList& statements, QString* error,
             const QString& own) {
    QString socketError;
    const QString socket = own.isEmpty() ? PgTestSocket(&socketError) : own;
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

OwnTestServer::OwnTestServer() {
    QTemporaryDir dir;
    dir.setAutoRemove(false);
    m_dir = dir.path();
    const ToolRun started =
        RunTool(QStringLiteral(VTQ_PG_TEST_SERVER), {QStringLiteral("start"), m_dir});
    m_socket = QString::fromLocal8Bit(started.out).trimmed();
    if (started.code != 0 || m_socket.isEmpty())
        m_error = QStringLiteral("a PostgreSQL server of the test's own did not start: %1")
                      .arg(QString::fromLocal8Bit(started.err));
}

OwnTestServer::~OwnTestServer() {
    RunTool(QStringLiteral(VTQ_PG_TEST_SERVER), {QStringLiteral("stop"), m_dir});
    QDir(m_dir).removeRecursively();
}

QString OwnTestServer::NewDatabase(const QString& name) {
    if (!PgAdmin(QStringLiteral("postgres"), {QStringLiteral("CREATE DATABASE %1").arg(name)},
                 &m_error, m_socket))
        return QString();
    return QStringLiteral("postgresql://vtq@%1/%2")
        .arg(QString::fromLatin1(QUrl::toPercentEncoding(m_socket)), name);
}

bool OwnTestServer::Restart() {
    return RunTool(QStringLiteral(VTQ_PG_TEST_SERVER), {QStringLiteral("restart"), m_dir}).code ==
           0;
}
