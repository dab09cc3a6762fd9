#pragma once
// The throw-away PostgreSQL server of the tests: ctest starts it before the
// tests that need it (scripts/pg-test-server, folder $VTQ_PG_TEST_DIR) and
// stops it after them. Each test gets a database of its own on it, dropped
// when the test ends. A server that is not there makes the test fail with
// the reason, never pass unseen.

#include <QString>
#include <QStringList>

// The folder of the server's socket; empty with `error` set when there is
// no server to use.
QString PgTestSocket(QString* error = nullptr);

class TestDatabase {
public:
    TestDatabase();  // a new, empty database
    ~TestDatabase(); // dropped, with every session on it ended
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    bool Ready() const { return m_error.isEmpty(); }
    const QString& Error() const { return m_error; }
    const QString& Name() const { return m_name; }
    // The URL vtq-library takes, for the server's superuser.
    QString Url() const;
    // Runs statements as the superuser on this database; false with the
    // error said by `error`.
    bool Admin(const QStringList& statements, QString* error = nullptr) const;

private:
    QString m_socket;
    QString m_name;
    QString m_error;
};

// Runs statements as the superuser on database `database` of the server
// (or of the one whose socket folder is `socket`).
bool PgAdmin(const QString& database, const QStringList& statements, QString* error = nullptr,
             const QString& socket = QString());

// A server of the test's own, for a test that restarts it; stopped, and
// its folder removed, when it goes.
class OwnTestServer {
public:
    OwnTestServer();
    ~OwnTestServer();
    bool Ready() const { return m_error.isEmpty(); }
    const QString& Error() const { return m_error; }
    // A new database on it, and its URL.
    QString NewDatabase(const QString& name);
    // Stops it at once, as a crash would, and starts it again.
    bool Restart();

private:
    QString m_dir;
    QString m_socket;
    QString m_error;
};
