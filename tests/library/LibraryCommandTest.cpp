#include "library/LibraryCommand.h"
#include "LibraryTree.h"
#include "check/Procedure.h"
#include "framework/Globals.h"
#include "library/Csv.h"
#include "library/LibraryFolders.h"
#include "library/LibraryJob.h"
#include "library/LibraryStore.h"
#include "library/LibraryWindow.h"
#include "library/Mounts.h"
#include "library/NamedRoots.h"
#include "library/ScanLock.h"
#include "library/SqliteIndexFile.h"
#include "platform/Clock.h"
#include "support/RunTool.h"
#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
struct Result {
    int code = -1;
    QString out;
    QString err;
};

class LibraryCommand : public ::testing::TestWithParam<Store> {
protected:
    void SetUp() override {
        ASSERT_TRUE(lib.Ready()) << qPrintable(lib.Error());
        // An office's library scans named folders only: the device's
        // reports and the share are named, for this process and for the
        // program.
        if (Server()) {
            Map(QStringLiteral("device"), TestRootFolder() + QStringLiteral("/Joint Reports"));
            Map(QStringLiteral("share"), share);
        }
    }
    bool Server() const { return GetParam() == Store::PostgreSQL; }
    // How the scan names a folder: by its path, or by the office's name.
    QString Named(const QString& folder, const QString& name) const {
        return Server() ? name : folder;
    }
    void Map(const QString& name, const QString& folder) {
        SetRootMapping(name, folder);
        QSettings program(TestSettingsFolder() + QStringLiteral("/Kelvorn/Kelvorn VTQ-PPC.conf"),
                          QSettings::IniFormat);
        QStringList lines;
        for (const RootMapping& m : RootMappings())
            lines << m.name + QLatin1Char('=') + m.folder;
        program.setValue(QStringLiteral("Library/Roots"), lines.join(QLatin1Char('\n')));
    }
    // The scan lock, held as another program would hold it.
    struct Held {
        std::unique_ptr<CLibraryStore> store;
        std::unique_ptr<CScanLock> lock;
    };
    Held HoldScanLock(const QString& what) {
        Held held;
        if (Server()) {
            held.store = std::make_unique<CLibraryStore>(db);
            EXPECT_EQ(held.store->Open(CLibraryStore::Mode::Write), CLibraryStore::OpenResult::Ok);
            held.lock = std::make_unique<CScanLock>(*held.store);
        } else {
            held.lock = std::make_unique<CScanLock>(db);
        }
        EXPECT_EQ(held.lock->Take(what, 1714644003000), CScanLock::Taken);
        return held;
    }

    // The command line in this process.
    Result Run(QStringList args) {
        args.prepend(db);
        args.prepend(QStringLiteral("--database"));
        FILE* out = std::tmpfile();
        FILE* err = std::tmpfile();
        Result r;
        r.code = RunLibraryCommand(ParseLibraryOptions(args), out, err);
        r.out = Slurp(out);
        r.err = Slurp(err);
        return r;
    }
    // The program itself, as a shell runs it.
    Result Program(const QStringList& args) {
        const ToolRun t = RunTool(QStringLiteral(VTQ_LIBRARY_PATH), args,
                                  {QStringLiteral("XDG_CONFIG_HOME=") + TestSettingsFolder(),
                                   QStringLiteral("XDG_DATA_HOME=") + TestSettingsFolder(),
                                   QStringLiteral("VTQ_LIBRARY_DB=") + db,
                                   QStringLiteral("VTQ_ROOT=") + TestRootFolder()});
        return {t.code, QString::fromUtf8(t.out), QString::fromUtf8(t.err)};
    }
    static QString Slurp(FILE* f) {
        std::fflush(f);
        std::rewind(f);
        QByteArray bytes;
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            bytes.append(buffer, qsizetype(n));
        std::fclose(f);
        return QString::fromUtf8(bytes);
    }

    LibrarySeams seams;
    QTemporaryDir tree;
    TestLibrary lib{GetParam(), TestSettingsFolder() + QStringLiteral("/library.sqlite")};
    QString db = lib.database;
    QString share = tree.path() + QStringLiteral("/share");
};

// What only an SQLite file has.
class LibraryCommandSqlite : public LibraryCommand {};

// Runs events until `done` holds, for at most a minute.
bool WaitFor(const std::function<bool()>& done) {
    const QDeadlineTimer deadline(60000);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

// scan adds the folder once, prints what it found; list filters (also by the
// procedure check's verdict) and writes a table, CSV and JSON;
// forget-missing shows its list first and forgets only what went missing
// long enough ago, and --confirm-missing speaks for one folder.
TEST_P(LibraryCommand, ScanListForget) {
    SetFixedLocalTime(QDateTime(QDate(2024, 5, 2), QTime(10, 0), Qt::UTC));
    PutFile(TestRootFolder() + QStringLiteral("/Joint Reports/own.kjr"),
            MakeReportBytes(1, QStringLiteral("J-100")));
    PutFile(TestRootFolder() + QStringLiteral("/Joint Reports/good.kjr"),
            MakeCheckedReportBytes(5, QStringLiteral("J-400"), true));
    PutFile(TestRootFolder() + QStringLiteral("/Joint Reports/bad.kjr"),
            MakeCheckedReportBytes(6, QStringLiteral("J-400"), false));
    PutFile(share + QStringLiteral("/a.kjr"), MakeReportBytes(2, QStringLiteral("J-200")));
    ReportPlan odd = ButtFusionReport(50);
    odd.Set(RF_JOINT_NUMBER, 3);
    odd.Set(RF_JOB_NUMBER, QStringLiteral("J-200"));
    odd.Set(RF_NOTES, QStringLiteral("line one, \"two\"\nthree\x1b[2J"));
    odd.Set(RF_DAY, 20);
    const QString oddPath = WriteReport(odd, QStringLiteral("odd.kjr"));
    PutFile(share + QStringLiteral("/b.kjr"), ReadAll(oddPath));
    QFile::remove(oddPath);
    PutFile(share + QStringLiteral("/bad.kjr"), "nonsense");
    // A name that would turn the rest of its line around in a terminal.
    PutFile(share + QStringLiteral("/evil\u202egpj.kjr"),
            MakeReportBytes(4, QStringLiteral("J-300")));

    Result r = Run({QStringLiteral("scan"), share});
    ASSERT_EQ(r.code, kExitOk) << qPrintable(r.err);
    EXPECT_EQ(AddedLibraryFolders(), Server() ? QStringList() : QStringList{share});
    EXPECT_TRUE(r.out.contains(QStringLiteral("added ") + share + QStringLiteral("/a.kjr\n")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("unreadable ") + share + QStringLiteral("/bad.kjr")));
    EXPECT_TRUE(
        r.out.contains(QStringLiteral("added ") + share + QStringLiteral("/evil?gpj.kjr\n")));
    EXPECT_FALSE(r.out.contains(QChar(0x202e)));
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("6 added, 0 updated, 0 moved, 0 not found, 0 "
                                              "missing, 0 offline, 1 unreadable, 0 unchanged\n")))
        << qPrintable(r.out);
    r = Run({QStringLiteral("scan"), share});
    EXPECT_EQ(AddedLibraryFolders(), Server() ? QStringList() : QStringList{share});
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("0 unreadable, 7 unchanged\n"))) << qPrintable(r.out);

    r = Run({QStringLiteral("list"), QStringLiteral("--job"), QStringLiteral("j-2"),
             QStringLiteral("--format"), QStringLiteral("json")});
    ASSERT_EQ(r.code, kExitOk);
    const QJsonArray joints = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(joints.size(), 2);
    EXPECT_EQ(joints[0][QStringLiteral("status")].toString(), QStringLiteral("present"));
    EXPECT_TRUE(joints[0][QStringLiteral("missing_since")].isNull());
    EXPECT_EQ(joints[1][QStringLiteral("notes")].toString(), odd.fields[RF_NOTES].text);
    EXPECT_EQ(joints[1][QStringLiteral("files")].toArray()[0].toString(),
              share + QStringLiteral("/b.kjr"));

    r = Run({QStringLiteral("list"), QStringLiteral("--since"), QStringLiteral("2024-03-10"),
             QStringLiteral("--format"), QStringLiteral("csv")});
    const QStringList csv = r.out.split(QStringLiteral("\r\n"));
    ASSERT_EQ(csv.size(), 3) << qPrintable(r.out); // header, joint 3, and the end
    EXPECT_TRUE(csv[1].contains(QStringLiteral("\"line one, \"\"two\"\"\nthree")));

    r = Run({QStringLiteral("list"), QStringLiteral("--verdict"), QStringLiteral("pass"),
             QStringLiteral("--format"), QStringLiteral("json")});
    const QJsonArray passed = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(passed.size(), 1) << qPrintable(r.out);
    EXPECT_EQ(passed[0][QStringLiteral("joint_number")].toInt(), 5);
    r = Run({QStringLiteral("list"), QStringLiteral("--verdict"), QStringLiteral("fail"),
             QStringLiteral("--job"), QStringLiteral("J-400"), QStringLiteral("--format"),
             QStringLiteral("csv")});
    const QStringList failed = r.out.split(QStringLiteral("\r\n"));
    ASSERT_EQ(failed.size(), 3) << qPrintable(r.out);
    EXPECT_EQ(failed[0].split(QLatin1Char(','))[5], QStringLiteral("verdict"));
    EXPECT_EQ(failed[1].split(QLatin1Char(','))[1], QStringLiteral("6"));
    EXPECT_EQ(failed[1].split(QLatin1Char(','))[5], QStringLiteral("fail"));

    // The table keeps one joint a line, whatever the notes or names hold.
    r = Run({QStringLiteral("list"), QStringLiteral("--status"), QStringLiteral("all")});
    EXPECT_EQ(r.out.count(QLatin1Char('\n')), 8) << qPrintable(r.out);
    EXPECT_FALSE(r.out.contains(QChar(0x1b)));
    EXPECT_FALSE(r.out.contains(QChar(0x202e)));

    // A file deleted: not found, then missing a day later.
    QFile::remove(share + QStringLiteral("/a.kjr"));
    r = Run({QStringLiteral("scan")});
    EXPECT_TRUE(r.out.contains(QStringLiteral("not found ") + share + QStringLiteral("/a.kjr\n")));
    SetFixedLocalTime(QDateTime(QDate(2024, 5, 3), QTime(11, 0), Qt::UTC));
    r = Run({QStringLiteral("scan")});
    EXPECT_TRUE(r.out.contains(QStringLiteral("missing ") + share + QStringLiteral("/a.kjr\n")));
    r = Run({QStringLiteral("list"), QStringLiteral("--status"), QStringLiteral("missing"),
             QStringLiteral("--format"), QStringLiteral("json")});
    const QJsonArray missing = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(missing.size(), 1);
    EXPECT_EQ(missing[0][QStringLiteral("missing_since")].toString(),
              QStringLiteral("2024-05-02T10:00:00.000Z"));
    EXPECT_EQ(Run({QStringLiteral("forget-missing")}).code, kExitUsage);
    r = Run({QStringLiteral("forget-missing"), QStringLiteral("--older-than"), QStringLiteral("2"),
             QStringLiteral("--yes")});
    EXPECT_EQ(r.out, QStringLiteral("0 missing files forgotten\n"));
    r = Run({QStringLiteral("forget-missing"), QStringLiteral("--older-than"), QStringLiteral("1"),
             QStringLiteral("--dry-run")});
    EXPECT_TRUE(
        r.out.startsWith(QStringLiteral("would forget ") + share +
                         QStringLiteral("/a.kjr (joint 2 of 2024-03-03 14:30:05, job J-200")))
        << qPrintable(r.out);
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("1 missing files would be forgotten\n")));
    r = Run({QStringLiteral("forget-missing"), QStringLiteral("--older-than"), QStringLiteral("1"),
             QStringLiteral("--yes")});
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("1 missing files forgotten\n"))) << qPrintable(r.out);
    r = Run({QStringLiteral("list"), QStringLiteral("--status"), QStringLiteral("missing"),
             QStringLiteral("--format"), QStringLiteral("csv")});
    EXPECT_EQ(r.out.split(QStringLiteral("\r\n")).size(), 2);

    // Most of the folder gone at once: offline, until confirmed for that
    // folder; confirming another folder does not speak for it.
    QFile::remove(share + QStringLiteral("/b.kjr"));
    QFile::remove(share + QString::fromUtf8("/evil\u202egpj.kjr"));
    r = Run({QStringLiteral("scan")});
    EXPECT_TRUE(r.out.contains(QStringLiteral("offline ") + Named(share, QStringLiteral("share")) +
                               QStringLiteral(" (lost most")))
        << qPrintable(r.out);
    EXPECT_TRUE(r.err.contains(QStringLiteral("--confirm-missing \"") +
                               Named(share, QStringLiteral("share"))));
    r = Run({QStringLiteral("scan"), QStringLiteral("--confirm-missing"),
             TestRootFolder() + QStringLiteral("/Joint Reports")});
    EXPECT_TRUE(r.out.contains(QStringLiteral("0 missing, 1 offline"))) << qPrintable(r.out);
    r = Run({QStringLiteral("scan"), QStringLiteral("--confirm-missing"), share});
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_TRUE(r.out.contains(QStringLiteral("2 missing, 0 offline"))) << qPrintable(r.out);
    EXPECT_EQ(Run({QStringLiteral("scan"), QStringLiteral("--confirm-missing")}).code, kExitUsage);
}

// What is typed on a handheld never becomes a formula in the office's
// spreadsheet; a file has a byte-order mark, a pipe never; --raw and JSON
// give the cells exactly.
TEST_P(LibraryCommand, CsvCellsAreNeverFormulas) {
    for (const auto& [cell, inert] : std::vector<std::pair<QString, QString>>{
             {QStringLiteral("=1+2"), QStringLiteral("'=1+2")},
             {QStringLiteral("@SUM(1)"), QStringLiteral("'@SUM(1)")},
             {QStringLiteral("+A1"), QStringLiteral("'+A1")},
             {QStringLiteral("-2+3"), QStringLiteral("'-2+3")},
             {QStringLiteral("\tcmd"), QStringLiteral("'\tcmd")},
             {QStringLiteral("\rcmd"), QStringLiteral("'\rcmd")},
             {QStringLiteral("-12"), QStringLiteral("-12")},
             {QStringLiteral("+3.5e2"), QStringLiteral("+3.5e2")},
             {QStringLiteral("---"), QStringLiteral("---")},
             {QStringLiteral("J-=1"), QStringLiteral("J-=1")},
             {QString(), QString()}})
        EXPECT_EQ(InertCsvCell(cell), inert) << qPrintable(cell);

    ReportPlan plan = ButtFusionReport(50);
    plan.Set(RF_JOB_NUMBER, QStringLiteral("=HYPERLINK(\"http://x\",\"J\")"));
    plan.Set(RF_EMPLOYEE_ID, QStringLiteral("@SUM(1)"));
    plan.Set(RF_MACHINE_ID, QStringLiteral("-12"));
    plan.Set(RF_NOTES, QStringLiteral("Müller, -2+3"));
    PutFile(share + QStringLiteral("/x.kjr"), ReadAll(WriteReport(plan, QStringLiteral("x.kjr"))));
    ASSERT_EQ(Run({QStringLiteral("scan"), share}).code, kExitOk);

    Result r = Run({QStringLiteral("list"), QStringLiteral("--format"), QStringLiteral("csv")});
    ASSERT_EQ(r.code, kExitOk);
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("date_time,"))); // no mark on a pipe
    const QString line = r.out.split(QStringLiteral("\r\n"))[1];
    EXPECT_TRUE(
        line.contains(QStringLiteral(",\"'=HYPERLINK(\"\"http://x\"\",\"\"J\"\")\",'@SUM(1),-12,")))
        << qPrintable(line);
    EXPECT_TRUE(line.contains(QStringLiteral("\"Müller, -2+3\"")));

    const QString file = tree.path() + QStringLiteral("/joints.csv");
    ASSERT_EQ(Run({QStringLiteral("list"), QStringLiteral("--format"), QStringLiteral("csv"),
                   QStringLiteral("-o"), file})
                  .code,
              kExitOk);
    const QByteArray bytes = ReadFile(file);
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"
                                 "date_time,"));
    EXPECT_EQ(QString::fromUtf8(bytes.mid(3)), r.out);

    r = Run({QStringLiteral("list"), QStringLiteral("--format"), QStringLiteral("csv"),
             QStringLiteral("--raw")});
    EXPECT_TRUE(
        r.out.contains(QStringLiteral(",\"=HYPERLINK(\"\"http://x\"\",\"\"J\"\")\",@SUM(1),")));
    r = Run({QStringLiteral("list"), QStringLiteral("--format"), QStringLiteral("json")});
    EXPECT_EQ(QJsonDocument::fromJson(r.out.toUtf8()).array()[0][QStringLiteral("employee_id")],
              QStringLiteral("@SUM(1)"));
    // The index itself is never the output.
    EXPECT_EQ(Run({QStringLiteral("list"), QStringLiteral("-o"), db}).code, kExitFailure);
}

// export-pdf writes the printed page of each joint, named like its report,
// with the report's text on it, from a copy that still holds what the
// library read, and never over a PDF that is there.
TEST_P(LibraryCommand, ExportPdf) {
    PutFile(share + QStringLiteral("/one.kjr"), MakeReportBytes(1, QStringLiteral("J-1")));
    PutFile(share + QStringLiteral("/sub/one.kjr"), MakeReportBytes(2, QStringLiteral("J-1")));
    PutFile(share + QStringLiteral("/two.kjr"), MakeReportBytes(3, QStringLiteral("J-2")));
    PutFile(share + QStringLiteral("/copy of two.kjr"), MakeReportBytes(3, QStringLiteral("J-2")));
    const QByteArray feed = QFile::encodeName(share) + "/line\nfeed \xff.kjr";
    {
        const QByteArray bytes = MakeReportBytes(4, QStringLiteral("J-3"));
        FILE* raw = std::fopen(feed.constData(), "wb");
        ASSERT_NE(raw, nullptr);
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), raw);
        std::fclose(raw);
    }
    ASSERT_EQ(Run({QStringLiteral("scan"), share}).code, kExitOk);
    const QString out = tree.path() + QStringLiteral("/pdf");
    PutFile(out + QStringLiteral("/one.pdf"), "the inspector's own PDF");
    Result r =
        Run({QStringLiteral("export-pdf"), out, QStringLiteral("--job"), QStringLiteral("J-1")});
    ASSERT_EQ(r.code, kExitOk) << qPrintable(r.err);
    EXPECT_EQ(QDir(out).entryList(QDir::Files),
              (QStringList{QStringLiteral("one (2).pdf"), QStringLiteral("one (3).pdf"),
                           QStringLiteral("one.pdf")}));
    EXPECT_EQ(ReadFile(out + QStringLiteral("/one.pdf")), QByteArray("the inspector's own PDF"));
    const QByteArray page = RunTool(QStringLiteral("pdftotext"),
                                    {out + QStringLiteral("/one (2).pdf"), QStringLiteral("-")})
                                .out;
    EXPECT_TRUE(page.contains("Kelvorn Joint Report")) << page.constData();
    EXPECT_TRUE(page.contains("E-117")) << page.constData();

    // A copy rewritten since the scan is not the joint: the other copy is
    // read; when none holds what was read, that is said.
    PutFile(share + QStringLiteral("/copy of two.kjr"), MakeReportBytes(9, QStringLiteral("J-2")));
    r = Run({QStringLiteral("export-pdf"), out, QStringLiteral("--job"), QStringLiteral("J-2")});
    EXPECT_EQ(r.code, kExitOk) << qPrintable(r.err);
    EXPECT_TRUE(r.out.contains(QStringLiteral("two.pdf"))) << qPrintable(r.out);
    PutFile(share + QStringLiteral("/two.kjr"), MakeReportBytes(9, QStringLiteral("J-2")));
    r = Run({QStringLiteral("export-pdf"), out, QStringLiteral("--job"), QStringLiteral("J-2")});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_TRUE(r.err.contains(QStringLiteral("changed since the library read them")));

    // A name with a line feed and a byte that is no text is read as it is;
    // reading reports leaves the state of the report a main window would
    // show alone (workers do this reading, several at once).
    g_bReportChanged = true;
    g_nSearchPercent = 100;
    r = Run({QStringLiteral("export-pdf"), out, QStringLiteral("--job"), QStringLiteral("J-3")});
    EXPECT_EQ(r.code, kExitOk) << qPrintable(r.err);
    EXPECT_EQ(r.out.count(QStringLiteral("wrote")), 1);
    EXPECT_TRUE(g_bReportChanged);
    unlink(feed.constData()); // no text: the temporary folder cannot name it
}

// The program itself: usage, version, and an exit status of its own for
// each outcome: 1 with a message for what cannot be used (a foreign file
// named by --database, which is left untouched; no index yet; an SQL
// error), 2 for usage, 75 when another program holds the library.
TEST_P(LibraryCommandSqlite, ProgramExitCodes) {
    Result r = Program({});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_TRUE(r.err.contains(QStringLiteral("no display")));
    r = Program({QStringLiteral("--help")});
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("Usage: vtq-library")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("75 busy")));
    r = Program({QStringLiteral("--version")});
    EXPECT_EQ(r.out, QStringLiteral("vtq-library " VTQ_VERSION "\n"));
    EXPECT_EQ(
        Program({QStringLiteral("list"), QStringLiteral("--since"), QStringLiteral("May")}).code,
        kExitUsage);
    EXPECT_EQ(Program({QStringLiteral("frobnicate")}).code, kExitUsage);

    r = Program({QStringLiteral("list")});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_TRUE(r.err.contains(QStringLiteral("no library index yet"))) << qPrintable(r.err);
    EXPECT_FALSE(QFile::exists(db));

    const QString csv = tree.path() + QStringLiteral("/jobs.csv");
    PutFile(csv, "job,joint\r\nJ-1,4\r\n");
    for (const char* command : {"list", "scan", "export-pdf"}) {
        QStringList args{QStringLiteral("--database"), csv, QString::fromLatin1(command)};
        if (args.last() == QLatin1String("export-pdf"))
            args << tree.path() + QStringLiteral("/pdf");
        r = Program(args);
        EXPECT_EQ(r.code, kExitFailure) << command;
        EXPECT_TRUE(r.err.contains(QStringLiteral("is not a library index"))) << qPrintable(r.err);
    }
    EXPECT_EQ(ReadFile(csv), QByteArray("job,joint\r\nJ-1,4\r\n"));
    EXPECT_EQ(QDir(tree.path()).entryList(QDir::Files), QStringList{QStringLiteral("jobs.csv")});

    EXPECT_EQ(Program({QStringLiteral("scan"), tree.path() + QStringLiteral("/nowhere")}).code,
              kExitFailure);
    PutFile(share + QStringLiteral("/a.kjr"), MakeReportBytes(2, QStringLiteral("J-200")));
    r = Program({QStringLiteral("scan"), share});
    EXPECT_EQ(r.code, kExitOk) << qPrintable(r.err);
    EXPECT_TRUE(r.out.contains(QStringLiteral("1 added")));
    {
        const Held held = HoldScanLock(QStringLiteral("vtq-library scan"));
        for (const QStringList& args :
             {QStringList{QStringLiteral("scan")},
              QStringList{QStringLiteral("forget-missing"), QStringLiteral("--yes")}}) {
            r = Program(args);
            EXPECT_EQ(r.code, kExitBusy) << qPrintable(r.err);
            EXPECT_TRUE(r.err.contains(QStringLiteral("is busy: vtq-library scan (process %1 on ")
                                           .arg(QCoreApplication::applicationPid())))
                << qPrintable(r.err);
        }
        // Readers do not mind.
        EXPECT_EQ(Program({QStringLiteral("list")}).code, kExitOk);
        EXPECT_EQ(Program({QStringLiteral("forget-missing"), QStringLiteral("--dry-run")}).code,
                  kExitOk);
    }

    // Every SQL error is a failure with a message, never an empty success.
    {
        QSqlDatabase raw =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("r"));
        raw.setDatabaseName(db);
        ASSERT_TRUE(raw.open());
        QSqlQuery q(raw);
        ASSERT_TRUE(q.exec(QStringLiteral("ALTER TABLE versions RENAME COLUMN job TO lost")));
        q.finish();
        raw.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("r"));
    r = Program({QStringLiteral("list")});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_TRUE(r.err.contains(QStringLiteral("no such column"))) << qPrintable(r.err);
    EXPECT_TRUE(r.out.isEmpty());

    // A database from a newer program is refused and left alone.
    for (const char* side : {"", "-wal", "-shm"})
        QFile::remove(db + QLatin1String(side));
    {
        QSqlDatabase newer =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("n"));
        newer.setDatabaseName(db);
        ASSERT_TRUE(newer.open());
        QSqlQuery q(newer);
        ASSERT_TRUE(q.exec(
            QStringLiteral("PRAGMA application_id = %1").arg(CLibraryStore::kApplicationId)));
        ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA user_version = 9")));
        ASSERT_TRUE(q.exec(QStringLiteral("CREATE TABLE t(x)")));
        q.finish();
        newer.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("n"));
    r = Program({QStringLiteral("list")});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_TRUE(r.err.contains(QStringLiteral("newer program")));
}

// Two programs at once: while a scan of 2,000 reports writes, and while a
// window holds the index open, list and export-pdf run and succeed; a
// second writer says who is busy, or waits its turn when told to.
TEST_P(LibraryCommand, ReadersNeverWaitForWriters) {
    constexpr int kReports = 2000;
    const std::vector<QByteArray> reports = ManyReports(kReports);
    ASSERT_EQ(reports.size(), size_t(kReports));
    for (int i = 0; i < kReports; ++i)
        PutFile(share + QStringLiteral("/%1/joint %2.kjr").arg(i / 100).arg(i), reports[size_t(i)]);
    // The first scan sees one report, so that readers have an index.
    PutFile(tree.path() + QStringLiteral("/seed/s.kjr"),
            MakeReportBytes(1, QStringLiteral("J-SEED")));
    if (Server()) {
        Map(QStringLiteral("share"), QString());
        Map(QStringLiteral("seed"), tree.path() + QStringLiteral("/seed"));
    }
    ASSERT_EQ(Run({QStringLiteral("scan"), tree.path() + QStringLiteral("/seed")}).code, kExitOk);
    AddLibraryFolder(share);
    if (Server())
        Map(QStringLiteral("share"), share);

    int readersRan = 0;
    LibraryJob job;
    job.database = db;
    job.what = QStringLiteral("vtq-library scan");
    job.scan = true;
    job.folders = LibraryRoots();
    job.named = RootMappings();
    const LibraryJobResult done = RunLibraryJob(job, nullptr, [&](int n, int) {
        if (n != kReports / 2)
            return;
        // Halfway: some joints are in, the scan holds its lock.
        const Result list =
            Program({QStringLiteral("list"), QStringLiteral("--format"), QStringLiteral("json")});
        EXPECT_EQ(list.code, kExitOk) << qPrintable(list.err);
        const qsizetype seen = QJsonDocument::fromJson(list.out.toUtf8()).array().size();
        EXPECT_GT(seen, 1);
        EXPECT_LT(seen, kReports);
        const Result pdf =
            Program({QStringLiteral("export-pdf"), tree.path() + QStringLiteral("/pdf"),
                     QStringLiteral("--job"), QStringLiteral("J-SEED")});
        EXPECT_EQ(pdf.code, kExitOk) << qPrintable(pdf.err);
        const Result second = Program({QStringLiteral("scan")});
        EXPECT_EQ(second.code, kExitBusy);
        EXPECT_TRUE(second.err.contains(QStringLiteral("vtq-library scan (process")))
            << qPrintable(second.err);
        ++readersRan;
    });
    ASSERT_EQ(done.outcome, LibraryJobResult::Done) << qPrintable(done.message);
    EXPECT_EQ(done.summary.added.size(), kReports);
    EXPECT_EQ(readersRan, 1);

    // A window holds the index open, reading, while others read and write;
    // a second writer told to wait gets its turn, and the window shows what
    // it found.
    CLibraryWindow window(db);
    ASSERT_TRUE(window.OpenStore());
    ASSERT_TRUE(WaitFor([&]() { return !window.Loading(); }));
    EXPECT_EQ(window.Model().Total(), kReports + 1);
    Result r = Program({QStringLiteral("list"), QStringLiteral("--job"), QStringLiteral("J-MANY")});
    EXPECT_EQ(r.code, kExitOk) << qPrintable(r.err);
    EXPECT_EQ(r.out.count(QLatin1Char('\n')), kReports + 1);
    EXPECT_EQ(Program({QStringLiteral("export-pdf"), tree.path() + QStringLiteral("/pdf2"),
                       QStringLiteral("--job"), QStringLiteral("J-SEED")})
                  .code,
              kExitOk);
    QFile::remove(share + QStringLiteral("/0/joint 5.kjr"));
    PutFile(share + QStringLiteral("/new.kjr"),
            MakeReportBytes(kReports + 5, QStringLiteral("J-NEW")));
    {
        const Held held = HoldScanLock(QStringLiteral("the window"));
        EXPECT_EQ(
            Program({QStringLiteral("scan"), QStringLiteral("--wait"), QStringLiteral("0"), share})
                .code,
            kExitBusy);
    }
    r = Program({QStringLiteral("scan"), QStringLiteral("--wait"), QStringLiteral("60"), share});
    EXPECT_EQ(r.code, kExitOk) << qPrintable(r.err);
    EXPECT_TRUE(r.out.contains(QStringLiteral("1 added, 0 updated, 0 moved, 1 not found")))
        << qPrintable(r.out);
    window.FollowChanges();
    ASSERT_TRUE(WaitFor([&]() { return window.Model().Total() == kReports + 2; }));
}

// An index asked for on a network file system (a home folder on NFS) is
// kept on this computer's disk, with one warning that says where.
TEST_P(LibraryCommandSqlite, IndexOnANetworkFileSystemIsKeptLocally) {
    // The user's data folder is the test's (as for the program it runs).
    struct DataHome {
        QByteArray was = qgetenv("XDG_DATA_HOME");
        DataHome() { qputenv("XDG_DATA_HOME", QFile::encodeName(TestSettingsFolder())); }
        ~DataHome() { was.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", was); }
    } dataHome;
    QTemporaryDir local;
    SetLocalIndexFolderForTests(local.path());
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(TestSettingsFolder()).constData(), &st), 0);
    SetMountTableForTests({{TestSettingsFolder(), QStringLiteral("nfs4"),
                            QStringLiteral("server:/home"), QString(), QString(), st.st_dev}});
    PutFile(share + QStringLiteral("/a.kjr"), MakeReportBytes(2, QStringLiteral("J-200")));
    Result r = Run({QStringLiteral("scan"), share});
    ASSERT_EQ(r.code, kExitOk) << qPrintable(r.err);
    EXPECT_TRUE(r.err.contains(QStringLiteral("network file system (nfs4)"))) << qPrintable(r.err);
    EXPECT_TRUE(r.err.contains(local.path()));
    EXPECT_FALSE(QFile::exists(db));
    EXPECT_EQ(QDir(local.path()).entryList({QStringLiteral("library-????????????.sqlite")}).size(),
              1);
    r = Run({QStringLiteral("scan")});
    EXPECT_FALSE(r.err.contains(QStringLiteral("network"))) << qPrintable(r.err);
    r = Run({QStringLiteral("list"), QStringLiteral("--format"), QStringLiteral("json")});
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_TRUE(r.out.contains(QStringLiteral("J-200")));
    const QString id =
        QJsonDocument::fromJson(r.out.toUtf8()).array()[0][QStringLiteral("id")].toString();

    // The user's data folder is on the network too: the reviews go beside
    // the local index, which the package keeps from being aged away.
    const QStringList review{QStringLiteral("review"), QStringLiteral("--joint"), id,
                             QStringLiteral("--state"), QStringLiteral("rejected")};
    ASSERT_EQ(Run(review).code, kExitOk);
    EXPECT_EQ(QDir(local.path()).entryList({QStringLiteral("library-*.reviews.sqlite")}).size(), 1);
    EXPECT_FALSE(QFile::exists(ReviewsDatabase(db)));

    // Only the index asked for is on the network: its reviews are kept in
    // the user's data folder, which nothing ages.
    ASSERT_EQ(stat(QFile::encodeName(tree.path()).constData(), &st), 0);
    SetMountTableForTests({{tree.path(), QStringLiteral("cifs"), QStringLiteral("//nas/joints"),
                            QString(), QString(), st.st_dev}});
    const QString shared = tree.path() + QStringLiteral("/index/library.sqlite");
    ASSERT_EQ(Run({QStringLiteral("--database"), shared, QStringLiteral("scan"), share}).code,
              kExitOk);
    r = Run({QStringLiteral("--database"), shared, QStringLiteral("review"),
             QStringLiteral("--joint"), id, QStringLiteral("--state"), QStringLiteral("re-test")});
    EXPECT_EQ(r.code, kExitOk) << qPrintable(r.err);
    EXPECT_TRUE(DurableReviewsFolder().startsWith(TestSettingsFolder()));
    EXPECT_EQ(QDir(DurableReviewsFolder())
                  .entryList({QStringLiteral("library-????????????.reviews.sqlite")})
                  .size(),
              1);
    EXPECT_FALSE(QFileInfo::exists(tree.path() + QStringLiteral("/index")));
}

// The local folder of indexes asked for on network file systems, and the
// reviews it may hold, are never aged by systemd-tmpfiles: with /var/tmp
// aged at once, only what is beside them goes.
TEST_P(LibraryCommandSqlite, LocalIndexFolderIsNeverAgedAway) {
    const QString root = tree.path() + QStringLiteral("/root");
    const QString ours = root + LocalIndexFolder();
    PutFile(root + QStringLiteral("/usr/lib/tmpfiles.d/tmp.conf"), "q /var/tmp 1777 root root 0\n");
    PutFile(ours + QStringLiteral("/library-0123456789ab.reviews.sqlite"), "reviews");
    PutFile(root + QStringLiteral("/var/tmp/other/old"), "old");
    QFile::copy(QStringLiteral(VTQ_LIBRARY_TMPFILES),
                root + QStringLiteral("/usr/lib/tmpfiles.d/kelvorn-vtq-library.conf"));
    const ToolRun clean = RunTool(QStringLiteral("systemd-tmpfiles"),
                                  {QStringLiteral("--root=") + root, QStringLiteral("--clean")});
    ASSERT_EQ(clean.code, 0) << clean.err.constData();
    EXPECT_FALSE(QFile::exists(root + QStringLiteral("/var/tmp/other/old")));
    EXPECT_EQ(ReadFile(ours + QStringLiteral("/library-0123456789ab.reviews.sqlite")), "reviews");
}

// The walk does not enter another file system below a folder (that part
// keeps its joints as they were, and is offered as a folder of its own),
// and a folder met twice (mounted twice, or a share whose server file
// systems number folders alike) makes the listing incomplete: nothing
// vanishes. Mounts are made in a mount namespace of the test's own.
TEST_P(LibraryCommandSqlite, WalkStaysOnItsFileSystemAndSeesFoldersTwice) {
    ASSERT_EQ(
        RunTool(QStringLiteral("unshare"), {QStringLiteral("-m"), QStringLiteral("true")}).code, 0)
        << "the tests make a mount namespace of their own: run them as root";
    PutFile(share + QStringLiteral("/a.kjr"), MakeReportBytes(1, QStringLiteral("J-1")));
    PutFile(share + QStringLiteral("/real/b.kjr"), MakeReportBytes(2, QStringLiteral("J-1")));
    PutFile(share + QStringLiteral("/other/c.kjr"), MakeReportBytes(3, QStringLiteral("J-1")));
    QDir().mkpath(share + QStringLiteral("/twice"));
    ASSERT_EQ(Program({QStringLiteral("scan"), share}).code, kExitOk);
    const auto inNamespace = [&](const QString& mounts, const QString& deleted) {
        const QString script =
            mounts + QStringLiteral(" && rm -f \"$DELETED\" && \"$VTQ\" scan \"$SHARE\"");
        const ToolRun t = RunTool(
            QStringLiteral("unshare"),
            {QStringLiteral("-m"), QStringLiteral("sh"), QStringLiteral("-c"), script},
            {QStringLiteral("XDG_CONFIG_HOME=") + TestSettingsFolder(),
             QStringLiteral("XDG_DATA_HOME=") + TestSettingsFolder(),
             QStringLiteral("VTQ_LIBRARY_DB=") + db, QStringLiteral("VTQ_ROOT=") + TestRootFolder(),
             QStringLiteral("VTQ=") + QStringLiteral(VTQ_LIBRARY_PATH),
             QStringLiteral("SHARE=") + share, QStringLiteral("DELETED=") + deleted});
        return Result{t.code, QString::fromUtf8(t.out), QString::fromUtf8(t.err)};
    };
    // Another file system over "other": c.kjr is not seen, and not lost.
    Result r = inNamespace(QStringLiteral("mount -t tmpfs none \"$SHARE/other\""), QString());
    ASSERT_EQ(r.code, kExitOk) << qPrintable(r.err);
    EXPECT_TRUE(r.out.contains(QStringLiteral("0 not found"))) << qPrintable(r.out);
    {
        CLibraryStore store(db);
        ASSERT_EQ(store.Open(CLibraryStore::Mode::Read), CLibraryStore::OpenResult::Ok);
        bool offered = false;
        for (const LibraryRoot& root : store.Roots().value_or(std::vector<LibraryRoot>()))
            offered = offered || root.otherFileSystems.contains(share + QStringLiteral("/other"));
        EXPECT_TRUE(offered);
    }
    // "real" mounted a second time as "twice", and a.kjr deleted: the
    // listing is not complete, so nothing is taken for gone.
    r = inNamespace(QStringLiteral("mount --bind \"$SHARE/real\" \"$SHARE/twice\""),
                    share + QStringLiteral("/a.kjr"));
    ASSERT_EQ(r.code, kExitOk) << qPrintable(r.err);
    EXPECT_TRUE(r.err.contains(QStringLiteral("the same folder as one listed before")))
        << qPrintable(r.err);
    EXPECT_TRUE(r.out.contains(QStringLiteral("0 not found"))) << qPrintable(r.out);
    // Without the second mount, the deletion is seen.
    r = Program({QStringLiteral("scan")});
    EXPECT_TRUE(r.out.contains(QStringLiteral("not found ") + share + QStringLiteral("/a.kjr")))
        << qPrintable(r.out);
}

// The office's end of a job from a shell: joints reviewed by the program
// run as another process, seen by list and by the dossier of the job; what
// is refused is refused with a reason and changes nothing; the dossier
// reads back with every joint of the job (and none of a job with a near
// number), their verdicts and reviews, the history, and what it left out,
// and never writes over a file unless told.
TEST_P(LibraryCommand, ReviewAndDossierOfAJob) {
    PutFile(share + QStringLiteral("/1.kjr"),
            MakeCheckedReportBytes(1, QStringLiteral("NW-12"), true));
    PutFile(share + QStringLiteral("/2.kjr"),
            MakeCheckedReportBytes(2, QStringLiteral("nw-12 "), false));
    PutFile(share + QStringLiteral("/3.kjr"),
            MakeCheckedReportBytes(3, QStringLiteral("NW-12"), true));
    PutFile(share + QStringLiteral("/4.kjr"),
            MakeCheckedReportBytes(4, QStringLiteral("NW-120"), true));
    ASSERT_EQ(Run({QStringLiteral("scan"), share}).code, kExitOk);
    const auto listed = [&](const QStringList& filter = {}) {
        const Result r = Run(QStringList{QStringLiteral("list"), QStringLiteral("--format"),
                                         QStringLiteral("json")} +
                             filter);
        EXPECT_EQ(r.code, kExitOk) << qPrintable(r.err);
        QMap<int, QJsonObject> joints;
        for (const QJsonValue& v : QJsonDocument::fromJson(r.out.toUtf8()).array())
            joints.insert(v[QStringLiteral("joint_number")].toInt(), v.toObject());
        return joints;
    };
    QMap<int, QJsonObject> joints = listed();
    ASSERT_EQ(joints.size(), 4);
    const auto id = [&](int joint) { return joints[joint][QStringLiteral("id")].toString(); };
    EXPECT_EQ(id(2).size(), 12);
    EXPECT_TRUE(joints[2][QStringLiteral("sha256")].toString().startsWith(id(2)));
    EXPECT_EQ(joints[2][QStringLiteral("verdict")], QStringLiteral("fail"));
    EXPECT_TRUE(joints[2][QStringLiteral("review_state")].isNull());

    const auto review = [&](const QStringList& args) {
        return Program(QStringList{QStringLiteral("review")} + args);
    };
    // Usage, unknown and ambiguous IDs, a fail accepted without a word.
    Result r = review(
        {QStringLiteral("--joint"), id(1), QStringLiteral("--state"), QStringLiteral("fine")});
    EXPECT_EQ(r.code, kExitUsage);
    r = review({QStringLiteral("--joint"), QStringLiteral("0123456789ab"),
                QStringLiteral("--state"), QStringLiteral("accepted")});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_TRUE(r.err.contains(QStringLiteral("no joint has the ID 0123456789ab")))
        << qPrintable(r.err);
    r = review({QStringLiteral("--joint"), id(1).left(6), QStringLiteral("--state"),
                QStringLiteral("accepted")});
    EXPECT_EQ(r.code, kExitUsage);
    r = review({QStringLiteral("--joint"), id(2), QStringLiteral("--state"),
                QStringLiteral("accepted"), QStringLiteral("--comment"), QStringLiteral("  ")});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_TRUE(r.err.contains(QStringLiteral("verdict fail: accepting it needs a comment")))
        << qPrintable(r.err);
    EXPECT_TRUE(listed()[2][QStringLiteral("review_state")].isNull());

    // A verdict made by other rules than the office's now is no ground for
    // a review until the joint is judged again.
    QFile shipped(DefaultProcedurePath());
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    PutFile(tree.path() + QStringLiteral("/main.ini"),
            shipped.readAll().replace("Name=Generic PE", "Name=Water main PE"));
    PutFile(tree.path() + QStringLiteral("/rules.txt"), "NW-12 => main.ini\n");
    ASSERT_EQ(Run({QStringLiteral("procedures"), QStringLiteral("--set"),
                   tree.path() + QStringLiteral("/rules.txt")})
                  .code,
              kExitOk);
    r = Run({QStringLiteral("review"), QStringLiteral("--joint"), id(3), QStringLiteral("--state"),
             QStringLiteral("rejected")});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_TRUE(
        r.err.contains(QStringLiteral("is not ready for review: its verdict is not current")))
        << qPrintable(r.err);
    ASSERT_EQ(Run({QStringLiteral("procedures"), QStringLiteral("--clear")}).code, kExitOk);

    r = review({QStringLiteral("--joint"), id(2).toUpper(), QStringLiteral("--state"),
                QStringLiteral("accepted"), QStringLiteral("--comment"),
                QStringLiteral("=gauge hose kinked; bend test passed"),
                QStringLiteral("--reviewer"), QStringLiteral("A. Inspector"),
                QStringLiteral("--bend"), QStringLiteral("pass"), QStringLiteral("--bead-width"),
                QStringLiteral("12.5")});
    ASSERT_EQ(r.code, kExitOk) << qPrintable(r.err);
    EXPECT_TRUE(r.out.contains(QStringLiteral("not reviewed -> accepted by A. Inspector (")))
        << qPrintable(r.out);
    ASSERT_EQ(review({QStringLiteral("--joint"), joints[1][QStringLiteral("sha256")].toString(),
                      QStringLiteral("--state"), QStringLiteral("accepted")})
                  .code,
              kExitOk);
    ASSERT_EQ(review({QStringLiteral("--joint"), id(1), QStringLiteral("--state"),
                      QStringLiteral("re-test"), QStringLiteral("--comment"),
                      QStringLiteral("cold joint seen at the bead"), QStringLiteral("--visual"),
                      QStringLiteral("fail"), QStringLiteral("--reviewer"),
                      QStringLiteral("=cmd|' /C calc'!A0")})
                  .code,
              kExitOk);

    // This process sees what the others did.
    joints = listed();
    EXPECT_EQ(joints[2][QStringLiteral("review_state")], QStringLiteral("accepted"));
    EXPECT_TRUE(joints[2][QStringLiteral("reviewer")].toString().startsWith(
        QStringLiteral("A. Inspector (")));
    EXPECT_FALSE(joints[2][QStringLiteral("review_time")].toString().isEmpty());
    EXPECT_EQ(joints[2][QStringLiteral("report_changed_since_review")], false);
    EXPECT_EQ(joints[1][QStringLiteral("review_state")], QStringLiteral("re-test"));
    EXPECT_EQ(listed({QStringLiteral("--review"), QStringLiteral("not-reviewed")}).keys(),
              (QList<int>{3, 4}));
    r = Run({QStringLiteral("list"), QStringLiteral("--format"), QStringLiteral("csv")});
    EXPECT_TRUE(r.out.contains(QStringLiteral(",accepted,A. Inspector ("))) << qPrintable(r.out);
    EXPECT_TRUE(r.out.contains(QStringLiteral("'=gauge hose kinked"))) << qPrintable(r.out);

    // The dossier of the job, in the range of two of its days.
    const QString day = joints[1][QStringLiteral("date_time")].toString().left(8);
    const QString pdf = tree.path() + QStringLiteral("/nw-12.pdf");
    const QString csv = tree.path() + QStringLiteral("/nw-12.csv");
    const QString json = tree.path() + QStringLiteral("/nw-12.json");
    const QStringList dossier{QStringLiteral("dossier"),
                              QStringLiteral("--job"),
                              QStringLiteral(" Nw-12"),
                              QStringLiteral("--since"),
                              day + QStringLiteral("01"),
                              QStringLiteral("--until"),
                              day + QStringLiteral("03"),
                              QStringLiteral("-o"),
                              pdf,
                              QStringLiteral("--csv"),
                              csv,
                              QStringLiteral("--json"),
                              json};
    r = Program(dossier);
    ASSERT_EQ(r.code, kExitOk) << qPrintable(r.err);
    EXPECT_TRUE(r.out.contains(QStringLiteral("2 joints of job Nw-12: 2 present")))
        << qPrintable(r.out);
    EXPECT_TRUE(r.out.contains(QStringLiteral("left out: job NW-120 (1 joints)")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("left out: 1 joints of the job dated outside")));
    const QString text = QString::fromUtf8(
        RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), pdf, QStringLiteral("-")})
            .out);
    const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    EXPECT_TRUE(text.contains(QStringLiteral("NW-120"))); // named on the cover as left out
    for (int joint : {1, 2})
        EXPECT_TRUE(text.contains(QStringLiteral("Joint %1, %2")
                                      .arg(joint)
                                      .arg(joints[joint][QStringLiteral("date_time")].toString())))
            << joint;
    EXPECT_FALSE(text.contains(QStringLiteral("Joint 3, ")));
    EXPECT_TRUE(text.contains(QStringLiteral("not reviewed → accepted")));
    EXPECT_TRUE(text.contains(QStringLiteral("accepted → re-test")));
    EXPECT_TRUE(text.contains(QStringLiteral("bend test pass")));
    EXPECT_TRUE(pages.last().contains(QStringLiteral("Review history")));
    const QJsonArray table = QJsonDocument::fromJson(ReadFile(json)).array();
    ASSERT_EQ(table.size(), 2);
    EXPECT_EQ(table[1][QStringLiteral("verdict")], QStringLiteral("fail"));
    EXPECT_EQ(table[1][QStringLiteral("review_state")], QStringLiteral("accepted"));
    EXPECT_EQ(table[0][QStringLiteral("review_state")], QStringLiteral("re-test"));
    // The dossier's table as CSV: a name typed as a formula stays text.
    const QString cells = QString::fromUtf8(ReadFile(csv));
    EXPECT_TRUE(ReadFile(csv).startsWith("\xEF\xBB\xBF"));
    EXPECT_TRUE(cells.contains(QStringLiteral(",'=cmd|' /C calc'!A0 ("))) << qPrintable(cells);

    // Never over a file without --force, and nothing else written then.
    const QByteArray before = ReadFile(pdf);
    QFile::remove(json);
    r = Program(dossier);
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_TRUE(r.err.contains(QStringLiteral("is there already"))) << qPrintable(r.err);
    EXPECT_EQ(ReadFile(pdf), before);
    EXPECT_FALSE(QFile::exists(json));
    EXPECT_EQ(Program(dossier + QStringList{QStringLiteral("--force")}).code, kExitOk);
    EXPECT_TRUE(QFile::exists(json));
    r = Program({QStringLiteral("dossier"), QStringLiteral("--job"), QStringLiteral("12"),
                 QStringLiteral("-o"), tree.path() + QStringLiteral("/12.pdf")});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_TRUE(r.err.contains(QStringLiteral("near it: \"NW-12\""))) << qPrintable(r.err);
    EXPECT_FALSE(QFile::exists(tree.path() + QStringLiteral("/12.pdf")));
}

// Reviews left by the first program that kept them (marked, no history yet)
// are brought up to date by init-database --upgrade on both stores, with
// what they held kept. Until then a server's take no review, and say what
// to do.
TEST_P(LibraryCommand, OlderReviewsAreBroughtUpToDateByUpgrade) {
    PutFile(share + QStringLiteral("/1.kjr"),
            MakeCheckedReportBytes(1, QStringLiteral("NW-12"), true));
    ASSERT_EQ(Run({QStringLiteral("scan"), share}).code, kExitOk);
    const QString reviews = ReviewsDatabase(db);
    // Statements on the reviews file; true when they ran and the last
    // returned a row.
    const auto file = [&](const QStringList& statements) {
        bool ok;
        {
            QSqlDatabase f =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("r"));
            f.setDatabaseName(reviews);
            ok = f.open();
            QSqlQuery q(f);
            for (const QString& s : statements)
                ok = ok && q.exec(s);
            ok = ok && q.next();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("r"));
        return ok;
    };
    const QStringList older{
        QStringLiteral("CREATE TABLE reviews_meta(key TEXT PRIMARY KEY, value TEXT NOT NULL)"),
        QStringLiteral("INSERT INTO reviews_meta VALUES('kept', 'yes')")};
    if (Server()) {
        ASSERT_TRUE(lib.Server()->Admin(
            QStringList{QStringLiteral("SET client_min_messages = warning"),
                        QStringLiteral("DROP SCHEMA vtq_reviews CASCADE"),
                        QStringLiteral("CREATE SCHEMA vtq_reviews"),
                        QStringLiteral("SET search_path TO vtq_reviews")} +
            older +
            QStringList{QStringLiteral("INSERT INTO reviews_meta VALUES('version', '1')")}));
    } else {
        for (const char* side : {"", "-wal", "-shm"})
            QFile::remove(reviews + QLatin1String(side));
        file(older + QStringList{QStringLiteral("PRAGMA application_id = %1")
                                     .arg(CLibraryStore::kReviewsApplicationId),
                                 QStringLiteral("PRAGMA user_version = 1")});
        ASSERT_EQ(ReadSqliteFileFacts(reviews).version, 1);
    }
    const QString id =
        QJsonDocument::fromJson(
            Run({QStringLiteral("list"), QStringLiteral("--format"), QStringLiteral("json")})
                .out.toUtf8())
            .array()[0][QStringLiteral("id")]
            .toString();
    const QStringList review{QStringLiteral("review"), QStringLiteral("--joint"), id,
                             QStringLiteral("--state"), QStringLiteral("accepted")};
    const auto accepted = [&]() {
        return Run({QStringLiteral("list"), QStringLiteral("--format"), QStringLiteral("csv"),
                    QStringLiteral("--review"), QStringLiteral("accepted")})
            .out.contains(QStringLiteral("NW-12"));
    };
    Result r;
    if (Server()) {
        for (const QStringList& args : {review, QStringList{QStringLiteral("init-database")}}) {
            r = Run(args);
            EXPECT_EQ(r.code, kExitFailure) << qPrintable(args[0]);
            EXPECT_TRUE(r.err.contains(QLatin1String("older")) &&
                        r.err.contains(QLatin1String("\"vtq-library init-database --upgrade\"")))
                << qPrintable(r.err);
        }
        EXPECT_FALSE(accepted());
    }
    r = Run({QStringLiteral("init-database"), QStringLiteral("--upgrade")});
    ASSERT_EQ(r.code, kExitOk) << qPrintable(r.err);
    r = Run(review);
    ASSERT_EQ(r.code, kExitOk) << qPrintable(r.err);
    EXPECT_TRUE(accepted());
    if (Server()) {
        r = Run({QStringLiteral("init-database"), QStringLiteral("--upgrade")});
        EXPECT_TRUE(r.out.contains(QLatin1String("up to date"))) << qPrintable(r.out + r.err);
        // The history came with its guard, and the old marks stayed.
        EXPECT_FALSE(lib.Server()->Admin(
            {QStringLiteral("UPDATE vtq_reviews.review_history SET comment = 'x'")}));
        EXPECT_TRUE(lib.Server()->Admin(
            {QStringLiteral("DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM vtq_reviews.reviews_meta "
                            "WHERE key = 'kept') THEN RAISE 'lost'; END IF; END $$")}));
    } else {
        EXPECT_TRUE(file({QStringLiteral("SELECT 1 FROM reviews_meta WHERE key = 'kept'")}));
    }
}

INSTANTIATE_TEST_SUITE_P(Stores, LibraryCommand,
                         ::testing::Values(Store::SQLite, Store::PostgreSQL), StoreName);
INSTANTIATE_TEST_SUITE_P(SQLite, LibraryCommandSqlite, ::testing::Values(Store::SQLite), StoreName);

// An office sets its library up from a shell: the desk's settings file
// names the server; nothing is made there until init-database; a folder is
// scanned once it is named; a password in the address is refused and never
// echoed; a server that is not there, and a library that is busy, have
// their own exit status.
TEST(LibraryPostgreSQL, AnOfficeIsSetUpFromAShell) {
    LibrarySeams seams;
    QTemporaryDir tree;
    TestDatabase db;
    ASSERT_TRUE(db.Ready()) << qPrintable(db.Error());
    const QString share = tree.path() + QStringLiteral("/share");
    PutFile(share + QStringLiteral("/a.kjr"), MakeReportBytes(1, QStringLiteral("J-1")));
    const auto program = [&](const QStringList& args) {
        const ToolRun t = RunTool(QStringLiteral(VTQ_LIBRARY_PATH), args,
                                  {QStringLiteral("XDG_CONFIG_HOME=") + TestSettingsFolder(),
                                   QStringLiteral("XDG_DATA_HOME=") + TestSettingsFolder(),
                                   QStringLiteral("VTQ_ROOT=") + TestRootFolder()});
        return Result{t.code, QString::fromUtf8(t.out), QString::fromUtf8(t.err)};
    };
    const auto setDatabase = [&](const QString& url) {
        QSettings conf(TestSettingsFolder() + QStringLiteral("/Kelvorn/Kelvorn VTQ-PPC.conf"),
                       QSettings::IniFormat);
        conf.setValue(QStringLiteral("Library/Database"), url);
    };
    setDatabase(db.Url());
    for (const char* command : {"list", "scan"}) {
        const Result r = program({QString::fromLatin1(command)});
        EXPECT_EQ(r.code, kExitFailure) << command;
        EXPECT_TRUE(r.err.contains(QLatin1String("\"vtq-library init-database\" makes it")))
            << qPrintable(r.err);
    }
    Result r = program({QStringLiteral("init-database")});
    ASSERT_EQ(r.code, kExitOk) << qPrintable(r.err);
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("Made the library in"))) << qPrintable(r.out);
    r = program({QStringLiteral("init-database"), QStringLiteral("--upgrade")});
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_TRUE(r.out.contains(QLatin1String("up to date"))) << qPrintable(r.out);

    r = program({QStringLiteral("scan"), share});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_TRUE(r.err.contains(QLatin1String("vtq-library map NAME"))) << qPrintable(r.err);
    EXPECT_EQ(program({QStringLiteral("map"), QStringLiteral("joints nas"), share}).code,
              kExitUsage);
    r = program({QStringLiteral("map"), QStringLiteral("joints-nas"), share});
    EXPECT_EQ(r.out, QStringLiteral("joints-nas=%1\n").arg(share));
    r = program({QStringLiteral("scan"), share});
    ASSERT_EQ(r.code, kExitOk) << qPrintable(r.err);
    EXPECT_TRUE(r.out.contains(QStringLiteral("added ") + share + QStringLiteral("/a.kjr")));
    r = program({QStringLiteral("list"), QStringLiteral("--format"), QStringLiteral("csv")});
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_TRUE(r.out.contains(QStringLiteral(",J-1,"))) << qPrintable(r.out);
    // Another desk that maps nothing sees the joint offline, never missing.
    r = program({QStringLiteral("map"), QStringLiteral("--remove"), QStringLiteral("joints-nas")});
    EXPECT_EQ(r.code, kExitOk);
    r = program({QStringLiteral("list"), QStringLiteral("--status"), QStringLiteral("offline")});
    EXPECT_TRUE(r.out.contains(QStringLiteral("joints-nas:/a.kjr"))) << qPrintable(r.out);

    // Busy: with its holder named, for a scan and for an upgrade.
    {
        CLibraryStore store(db.Url());
        ASSERT_EQ(store.Open(CLibraryStore::Mode::Write), CLibraryStore::OpenResult::Ok);
        CScanLock held(store);
        ASSERT_EQ(held.Take(QStringLiteral("vtq-library scan"), 1714644003000), CScanLock::Taken);
        for (const QStringList& args :
             {QStringList{QStringLiteral("scan")},
              QStringList{QStringLiteral("init-database"), QStringLiteral("--upgrade")}}) {
            r = program(args);
            EXPECT_EQ(r.code, kExitBusy) << qPrintable(args.join(QLatin1Char(' ')));
            EXPECT_TRUE(r.err.contains(QStringLiteral("vtq-library scan (process %1 on ")
                                           .arg(QCoreApplication::applicationPid())))
                << qPrintable(r.err);
        }
    }

    // Refused: a password in the address, from the settings or the command
    // line, is never used nor shown; a server that is not there says so.
    setDatabase(
        QString(db.Url()).replace(QStringLiteral("://vtq@"), QStringLiteral("://vtq:s3cret@")));
    r = program({QStringLiteral("list")});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_TRUE(r.err.contains(QLatin1String("~/.pgpass")) &&
                !r.err.contains(QLatin1String("s3cret")))
        << qPrintable(r.err);
    r = program({QStringLiteral("--database"), QStringLiteral("postgresql://vtq@%2Fnowhere/x"),
                 QStringLiteral("list")});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_TRUE(r.err.contains(QLatin1String("cannot be reached"))) << qPrintable(r.err);
}
