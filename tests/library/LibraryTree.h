#pragma once
// A tree of joint reports for the library's tests: reports made the way a
// download makes them, copied into folders of a temporary tree.

#include "FusionTrace.h"
#include "PgTestServer.h"

#include <QString>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

// A butt-fusion report of joint `joint` for job `job`, `samples` samples.
QByteArray MakeReportBytes(int joint, const QString& job, int samples = 300);
// A joint of a known trace: by the shipped procedure it passes, or with a
// bead pressure of 380 psi fails.
QByteArray MakeCheckedReportBytes(int joint, const QString& job, bool passes);
// `count` reports of joints 1 to `count` that differ in nothing else, for
// trees of thousands (a download per report would take minutes).
std::vector<QByteArray> ManyReports(int count, int samples = 30);
// Writes `bytes` to `path`, making its folder.
void PutFile(const QString& path, const QByteArray& bytes);

// Puts the library's stand-ins back when a test ends: the system's mounts,
// no probe hook, the default local index folder.
struct LibrarySeams {
    ~LibrarySeams();
};

// The stores a library's index may live in; tests that hold for both run
// on each.
enum class Store { SQLite, PostgreSQL };
std::string StoreName(const ::testing::TestParamInfo<Store>& info);
void PrintTo(Store store, std::ostream* os);

// A library index for a test: an SQLite file at `sqlitePath`, or a database
// of the test's own on the test server, made a library (init-database)
// unless told not to.
class TestLibrary {
public:
    TestLibrary(Store store, const QString& sqlitePath, bool init = true);
    // What --database takes.
    QString database;
    bool Ready() const { return m_error.isEmpty(); }
    const QString& Error() const { return m_error; }
    // The server's database; null for SQLite.
    TestDatabase* Server() const { return m_server.get(); }

private:
    std::unique_ptr<TestDatabase> m_server;
    QString m_error;
};
