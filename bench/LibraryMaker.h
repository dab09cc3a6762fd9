#pragma once
// Libraries of many joints for the window's and the office's benchmarks,
// made with SQL rather than files (a million reports would take hours to
// write and scan), on SQLite or on a throw-away PostgreSQL server, and the
// process's memory as the kernel counts it.

#include <QString>

// Where the benchmarks keep what they make between runs.
const QString& BenchFolder();

// The throw-away server (scripts/pg-test-server) in kBenchFolder/pg, started
// at the first benchmark that needs it and stopped when the program ends.
class CBenchServer {
public:
    ~CBenchServer();
    // A new, empty database's URL; empty when there is no server.
    QString Database(const QString& name);

private:
    QString m_socket;
};
CBenchServer& BenchServer();

// Makes an index at `target` (an SQLite file, made anew, or a server's
// empty database) holding `joints` joints of one report each, in one path
// root, as a busy office's would: jobs "J-0", "J-1"... of 100 joints made
// one after another, 37 employees, 40 machines, three minutes apart from
// 2020 on, verdicts of the shipped procedure (mostly pass, some fail
// and incomplete, sidewall joints not judged), a note on one joint in five.
// False, with the reason, when it cannot be made.
bool FillLibrary(const QString& target, int joints, QString& error);

// An SQLite index made as FillLibrary makes it, kept at `path` between runs
// and made again only when it is not complete or this program cannot read
// it as it stands; its path, or empty when it cannot be made.
QString KeptLibrary(const QString& path, int joints);
// The library of 100,000 joints the office's and the window's benchmarks
// share: SQLite kept in the build tree, or a database on the throw-away
// server made once a run; empty when it cannot be had.
QString Library100k(bool server);

// The process's resident memory now and at its peak, in kB; the peak can be
// set back to now, so that a benchmark sees its own.
long RssKb();
long PeakRssKb();
void ResetPeakRss();
