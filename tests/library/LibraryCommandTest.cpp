#include "library/LibraryCommand.h"
#include "LibraryTree.h"
#include "library/LibraryFolders.h"
#include "library/LibraryLock.h"
#include "library/LibraryStore.h"
#include "support/RunTool.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
struct Result {
    int code = -1;
    QString out;
    QString err;
};

class LibraryCommand : public ::testing::Test {
protected:
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

    QTemporaryDir tree;
    QString db = TestSettingsFolder() + QStringLiteral("/library.sqlite");
    QString share = tree.path() + QStringLiteral("/share");
};
} // namespace

// scan adds the folder once, prints what it found; list filters (also by the
// procedure check's verdict) and writes a table, CSV and JSON; forget-missing
// forgets what vanished.
TEST_F(LibraryCommand, ScanListForget) {
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
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_EQ(AddedLibraryFolders(), QStringList{share});
    EXPECT_TRUE(r.out.contains(QStringLiteral("added ") + share + QStringLiteral("/a.kjr\n")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("unreadable ") + share + QStringLiteral("/bad.kjr")));
    EXPECT_TRUE(
        r.out.contains(QStringLiteral("added ") + share + QStringLiteral("/evil?gpj.kjr\n")));
    EXPECT_FALSE(r.out.contains(QChar(0x202e)));
    EXPECT_TRUE(r.out.endsWith(
        QStringLiteral("6 added, 0 updated, 0 missing, 0 offline, 1 unreadable, 0 unchanged\n")));
    r = Run({QStringLiteral("scan"), share});
    EXPECT_EQ(AddedLibraryFolders(), QStringList{share});
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("0 unreadable, 7 unchanged\n"))) << qPrintable(r.out);

    r = Run({QStringLiteral("list"), QStringLiteral("--job"), QStringLiteral("j-2"),
             QStringLiteral("--format"), QStringLiteral("json")});
    ASSERT_EQ(r.code, 0);
    const QJsonArray joints = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(joints.size(), 2);
    EXPECT_EQ(joints[0][QStringLiteral("status")].toString(), QStringLiteral("present"));
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
    EXPECT_EQ(passed[0][QStringLiteral("verdict")].toString(), QStringLiteral("pass"));
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

    QFile::remove(share + QStringLiteral("/a.kjr"));
    r = Run({QStringLiteral("scan")});
    EXPECT_TRUE(r.out.contains(QStringLiteral("missing ") + share + QStringLiteral("/a.kjr\n")));
    r = Run({QStringLiteral("list"), QStringLiteral("--status"), QStringLiteral("missing"),
             QStringLiteral("--format"), QStringLiteral("csv")});
    EXPECT_EQ(r.out.split(QStringLiteral("\r\n")).size(), 3);
    r = Run({QStringLiteral("forget-missing")});
    EXPECT_EQ(r.out, QStringLiteral("1 missing files forgotten\n"));
    r = Run({QStringLiteral("list"), QStringLiteral("--status"), QStringLiteral("missing"),
             QStringLiteral("--format"), QStringLiteral("csv")});
    EXPECT_EQ(r.out.split(QStringLiteral("\r\n")).size(), 2);

    // Most of the folder gone at once: offline, until confirmed.
    QFile::remove(share + QStringLiteral("/b.kjr"));
    QFile::remove(share + QString::fromUtf8("/evil\u202egpj.kjr"));
    r = Run({QStringLiteral("scan")});
    EXPECT_TRUE(r.out.contains(QStringLiteral("offline ") + share + QLatin1Char('\n')));
    EXPECT_TRUE(r.err.contains(QStringLiteral("--confirm-missing")));
    r = Run({QStringLiteral("scan"), QStringLiteral("--confirm-missing")});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral("2 missing, 0 offline"))) << qPrintable(r.out);
}

// export-pdf writes the printed page of each joint, named like its report,
// with the report's text on it.
TEST_F(LibraryCommand, ExportPdf) {
    PutFile(share + QStringLiteral("/one.kjr"), MakeReportBytes(1, QStringLiteral("J-1")));
    PutFile(share + QStringLiteral("/sub/one.kjr"), MakeReportBytes(2, QStringLiteral("J-1")));
    PutFile(share + QStringLiteral("/two.kjr"), MakeReportBytes(3, QStringLiteral("J-2")));
    ASSERT_EQ(Run({QStringLiteral("scan"), share}).code, 0);
    const QString out = tree.path() + QStringLiteral("/pdf");
    const Result r =
        Run({QStringLiteral("export-pdf"), out, QStringLiteral("--job"), QStringLiteral("J-1")});
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_EQ(QDir(out).entryList(QDir::Files),
              (QStringList{QStringLiteral("one (2).pdf"), QStringLiteral("one.pdf")}));
    const QByteArray page = RunTool(QStringLiteral("pdftotext"),
                                    {out + QStringLiteral("/one.pdf"), QStringLiteral("-")})
                                .out;
    EXPECT_TRUE(page.contains("Kelvorn Joint Report")) << page.constData();
    EXPECT_TRUE(page.contains("E-117")) << page.constData();
}

// The program itself: usage, version, exit codes, and a second program on a
// busy library.
TEST_F(LibraryCommand, ProgramExitCodes) {
    const auto program = [&](const QStringList& args) {
        const ToolRun t = RunTool(QStringLiteral(VTQ_LIBRARY_PATH), args,
                                  {QStringLiteral("XDG_CONFIG_HOME=") + TestSettingsFolder(),
                                   QStringLiteral("XDG_DATA_HOME=") + TestSettingsFolder(),
                                   QStringLiteral("VTQ_LIBRARY_DB=") + db,
                                   QStringLiteral("VTQ_ROOT=") + TestRootFolder()});
        return std::make_pair(t.code, QString::fromUtf8(t.out + t.err));
    };
    auto r = program({});
    EXPECT_EQ(r.first, 1);
    EXPECT_TRUE(r.second.contains(QStringLiteral("no display")));
    r = program({QStringLiteral("--help")});
    EXPECT_EQ(r.first, 0);
    EXPECT_TRUE(r.second.startsWith(QStringLiteral("Usage: vtq-library")));
    r = program({QStringLiteral("--version")});
    EXPECT_EQ(r.second, QStringLiteral("vtq-library " VTQ_VERSION "\n"));
    EXPECT_EQ(
        program({QStringLiteral("list"), QStringLiteral("--since"), QStringLiteral("May")}).first,
        2);
    EXPECT_EQ(program({QStringLiteral("frobnicate")}).first, 2);
    EXPECT_EQ(program({QStringLiteral("scan"), tree.path() + QStringLiteral("/nowhere")}).first, 1);
    PutFile(share + QStringLiteral("/a.kjr"), MakeReportBytes(2, QStringLiteral("J-200")));
    r = program({QStringLiteral("scan"), share});
    EXPECT_EQ(r.first, 0) << qPrintable(r.second);
    EXPECT_TRUE(r.second.contains(QStringLiteral("1 added")));
    {
        CLibraryLock held(db);
        ASSERT_TRUE(held.TryLock());
        r = program({QStringLiteral("scan")});
        EXPECT_EQ(r.first, 1);
        EXPECT_TRUE(r.second.contains(QStringLiteral("is busy")));
    }
    // A database from a newer program is refused and left alone.
    {
        QFile::remove(db);
        QFile::remove(db + QStringLiteral("-wal"));
        QFile::remove(db + QStringLiteral("-shm"));
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
    r = program({QStringLiteral("list")});
    EXPECT_EQ(r.first, 1);
    EXPECT_TRUE(r.second.contains(QStringLiteral("newer program")));
}
