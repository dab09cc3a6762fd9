// The library's verdicts: each joint judged by the procedure its job's rule
// names and with the office's machine list, a verdict that carries what made
// it and is never given as current once that changed, joints judged again by
// the next scan, joints the procedure does not cover shown as not judged, and
// a cut download never a pass.

#include "LibraryTree.h"
#include "framework/SettingsStore.h"
#include "library/JointExport.h"
#include "library/JointTable.h"
#include "library/LibraryCommand.h"
#include "library/LibraryFolders.h"
#include "library/LibraryJob.h"
#include "library/LibraryScanner.h"
#include "library/LibraryStore.h"
#include "library/LibraryWindow.h"
#include "library/NamedRoots.h"
#include "library/ProcedureSource.h"
#include "library/VerdictBook.h"
#include "support/TestEnv.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
struct Result {
    int code = -1;
    QString out;
    QString err;
};

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The shipped procedure's file under another name, its interfacial range
// changed when `strict` (the known good trace's 75 psi then fails).
QByteArray ProcedureBytes(const QString& name, bool strict) {
    QByteArray bytes = ReadBytes(DefaultProcedurePath());
    EXPECT_FALSE(bytes.isEmpty());
    bytes.replace("Name=Generic PE butt fusion (PPI TR-33 / ASTM F2620)", "Name=" + name.toUtf8());
    if (strict)
        bytes.replace("MinimumPsi=60\nMaximumPsi=90", "MinimumPsi=100\nMaximumPsi=120");
    return bytes;
}

QString Hex(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

class LibraryVerdict : public ::testing::TestWithParam<Store> {
protected:
    void SetUp() override {
        ASSERT_TRUE(lib.Ready()) << qPrintable(lib.Error());
        // An office's library scans named folders only.
        if (lib.Server())
            SetRootMapping(QStringLiteral("share"), share);
    }
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
    // The joints `list` gives as JSON, by job.
    QHash<QString, QJsonObject> Listed(QStringList extra = {}) {
        Result r = Run(QStringList{QStringLiteral("list"), QStringLiteral("--status"),
                                   QStringLiteral("all"), QStringLiteral("--format"),
                                   QStringLiteral("json")} +
                       extra);
        EXPECT_EQ(r.code, kExitOk) << qPrintable(r.err);
        QHash<QString, QJsonObject> joints;
        for (const QJsonValue& v : QJsonDocument::fromJson(r.out.toUtf8()).array())
            joints.insert(v[QStringLiteral("job_number")].toString(), v.toObject());
        return joints;
    }
    Result Scan() {
        Result r = Run({QStringLiteral("scan"), share});
        return r;
    }
    void SetRules(const QString& rules) {
        WriteSettingText(kKeyLibrary, kProcedureRulesKey, rules);
    }
    void SetMachines(const QString& machines) {
        WriteSettingText(kKeyLibrary, kMachinesKey, machines);
    }
    std::vector<JointRow> Rows() {
        CLibraryStore store(db);
        EXPECT_EQ(store.Open(CLibraryStore::Mode::Read), CLibraryStore::OpenResult::Ok);
        if (const auto roots = store.Roots())
            store.SetDeskRoots(DeskRootsOf(*roots, RootMappings(), CLibraryScanner::kProbeMs));
        std::vector<JointRow> rows = store.Joints().value_or(std::vector<JointRow>());
        MarkVerdicts(rows, *CVerdictBook::Load(CSettingsProcedureSource()));
        return rows;
    }
    JointRow RowOf(const QString& job) {
        for (const JointRow& r : Rows())
            if (r.fields.job == job)
                return r;
        ADD_FAILURE() << "no joint of " << qPrintable(job);
        return JointRow();
    }

    LibrarySeams seams;
    QTemporaryDir tree;
    TestLibrary lib{GetParam(), TestSettingsFolder() + QStringLiteral("/library.sqlite")};
    QString db = lib.database;
    QString share = tree.path() + QStringLiteral("/share");
    QString procedures = tree.path() + QStringLiteral("/procedures");
};

// Runs events until the readings the window asked for have landed, for at
// most a minute.
bool WaitForRows(CLibraryWindow& window) {
    const QDeadlineTimer deadline(60000);
    while (window.Loading()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

// Runs events until the window gives `signal` after `start`, for at most
// a minute.
bool WaitFor(CLibraryWindow& window, void (CLibraryWindow::*signal)(),
             const std::function<void()>& start) {
    bool ended = false;
    QEventLoop loop;
    const auto c = QObject::connect(&window, signal, &loop, [&]() {
        ended = true;
        loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    start();
    if (!ended)
        loop.exec();
    QObject::disconnect(c);
    return ended;
}

// A report's bytes, made the way a download makes it (and not left in the
// device root's folder, which the library scans too).
QByteArray Made(const ReportPlan& plan) {
    const QString path = WriteReport(plan, QStringLiteral("made.kjr"));
    const QByteArray bytes = ReadAll(path);
    QFile::remove(path);
    return bytes;
}

int PdfPages(const QByteArray& pdf) {
    int pages = 0;
    for (qsizetype at = pdf.indexOf("/Type /Page"); at >= 0;
         at = pdf.indexOf("/Type /Page", at + 1))
        pages += pdf.mid(at + 11, 1) == "s" ? 0 : 1;
    return pages;
}
} // namespace

// The procedure file a rule names is changed: its verdicts are at once not
// current (list, JSON, the window), never the old pass, and the next scan
// judges those joints again by the file as it is now; the other jobs'
// verdicts stay current and are not read again.
TEST_P(LibraryVerdict, ChangedProcedureFileIsJudgedAgainOnTheNextScan) {
    const QString office = procedures + QStringLiteral("/office.ini");
    const QByteArray v1 = ProcedureBytes(QStringLiteral("Office PE v1"), false);
    PutFile(office, v1);
    SetRules(QStringLiteral("# the office's jobs\nJ-OFF => ") + office);
    PutFile(share + QStringLiteral("/office.kjr"),
            MakeCheckedReportBytes(5, QStringLiteral("J-OFF-1"), true));
    PutFile(share + QStringLiteral("/other.kjr"),
            MakeCheckedReportBytes(6, QStringLiteral("W-12"), true));
    Result r = Scan();
    ASSERT_EQ(r.code, kExitOk) << qPrintable(r.err);
    auto joints = Listed();
    ASSERT_EQ(joints.size(), 2);
    QJsonObject j = joints[QStringLiteral("J-OFF-1")];
    EXPECT_EQ(j[QStringLiteral("verdict")].toString(), QStringLiteral("pass"));
    EXPECT_TRUE(j[QStringLiteral("verdict_current")].toBool());
    EXPECT_EQ(j[QStringLiteral("procedure")].toString(), QStringLiteral("Office PE v1"));
    EXPECT_EQ(j[QStringLiteral("procedure_sha256")].toString(), Hex(v1));
    EXPECT_EQ(j[QStringLiteral("check_version")].toInt(), kCheckVersion);
    EXPECT_EQ(joints[QStringLiteral("W-12")][QStringLiteral("procedure")].toString(),
              DefaultProcedure().name);

    // Changed in place: not current before any scan, wherever it is shown.
    const QByteArray v2 = ProcedureBytes(QStringLiteral("Office PE v2"), true);
    PutFile(office, v2);
    joints = Listed();
    j = joints[QStringLiteral("J-OFF-1")];
    EXPECT_EQ(j[QStringLiteral("verdict")].toString(), QStringLiteral("not-current"));
    EXPECT_FALSE(j[QStringLiteral("verdict_current")].toBool());
    EXPECT_EQ(j[QStringLiteral("judged_verdict")].toString(), QStringLiteral("pass"));
    EXPECT_TRUE(j[QStringLiteral("verdict_note")].toString().contains(
        QStringLiteral("the procedure for this job is now Office PE v2")))
        << qPrintable(j[QStringLiteral("verdict_note")].toString());
    EXPECT_EQ(joints[QStringLiteral("W-12")][QStringLiteral("verdict")].toString(),
              QStringLiteral("pass"));
    EXPECT_FALSE(Listed({QStringLiteral("--verdict"), QStringLiteral("pass")})
                     .contains(QStringLiteral("J-OFF-1")));
    EXPECT_TRUE(Listed({QStringLiteral("--verdict"), QStringLiteral("not-current")})
                    .contains(QStringLiteral("J-OFF-1")));
    r = Run({QStringLiteral("list")});
    for (const QString& line : r.out.split(QLatin1Char('\n'))) {
        if (line.contains(QStringLiteral("J-OFF-1"))) {
            EXPECT_TRUE(line.contains(QStringLiteral("not-current"))) << qPrintable(line);
        }
    }
    {
        // The window: not current from the first look on (its procedure
        // file not read yet, then read and changed), never the old pass.
        CLibraryWindow window(db);
        ASSERT_TRUE(window.OpenStore());
        ASSERT_TRUE(WaitForRows(window));
        const auto shown = [&]() {
            for (int i = 0; i < window.Model().rowCount(); ++i)
                if (window.Model().Row(i).fields.job == QLatin1String("J-OFF-1"))
                    return window.Model().data(window.Model().index(i, JC_VERDICT)).toString();
            return QString();
        };
        EXPECT_EQ(shown(), QStringLiteral("not current (was pass)"));
        ASSERT_TRUE(WaitFor(window, &CLibraryWindow::ProceduresRead,
                            [&]() { window.RefreshProcedures(); }));
        EXPECT_EQ(shown(), QStringLiteral("not current (was pass)"));
    }
    // (The window's folder watch lives as long as the window.)
    EXPECT_TRUE(WaitForLibraryWorkers(60000));

    r = Scan();
    ASSERT_EQ(r.code, kExitOk) << qPrintable(r.err);
    EXPECT_TRUE(
        r.out.contains(QStringLiteral("judged again ") + share + QStringLiteral("/office.kjr\n")))
        << qPrintable(r.out);
    EXPECT_FALSE(
        r.out.contains(QStringLiteral("judged again ") + share + QStringLiteral("/other.kjr")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("1 unchanged\n")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("1 judged again")));
    j = Listed()[QStringLiteral("J-OFF-1")];
    EXPECT_EQ(j[QStringLiteral("verdict")].toString(), QStringLiteral("fail"));
    EXPECT_TRUE(j[QStringLiteral("verdict_current")].toBool());
    EXPECT_EQ(j[QStringLiteral("procedure")].toString(), QStringLiteral("Office PE v2"));
    EXPECT_EQ(j[QStringLiteral("procedure_sha256")].toString(), Hex(v2));
    // Nothing more to judge.
    r = Scan();
    EXPECT_FALSE(r.out.contains(QStringLiteral("judged again"))) << qPrintable(r.out);
}

// A rule picks another procedure for one job (the job contains its text, in
// any case); every other job keeps the shipped one. "procedures" says which;
// Check and the exported PDF's check page judge by the joint's own.
TEST_P(LibraryVerdict, RulePicksAnotherProcedureForOneJob) {
    PutFile(procedures + QStringLiteral("/strict.ini"),
            ProcedureBytes(QStringLiteral("Strict gas"), true));
    const QString rules = tree.path() + QStringLiteral("/rules.txt");
    // Relative to the rules file, kept absolute.
    PutFile(rules, "gas-7 => procedures/strict.ini\n");
    Result r = Run({QStringLiteral("procedures"), QStringLiteral("--set"), rules});
    ASSERT_EQ(r.code, kExitOk) << qPrintable(r.err);
    EXPECT_TRUE(r.out.contains(QStringLiteral("job contains \"gas-7\" => ") + procedures +
                               QStringLiteral("/strict.ini: Strict gas (SHA-256 ")))
        << qPrintable(r.out);
    EXPECT_TRUE(r.out.contains(QStringLiteral("every other job => the shipped procedure: ") +
                               DefaultProcedure().name));
    PutFile(share + QStringLiteral("/gas.kjr"),
            MakeCheckedReportBytes(7, QStringLiteral("GAS-7 North"), true));
    PutFile(share + QStringLiteral("/water.kjr"),
            MakeCheckedReportBytes(8, QStringLiteral("W-12"), true));
    r = Scan();
    ASSERT_EQ(r.code, kExitOk) << qPrintable(r.err);
    auto joints = Listed();
    EXPECT_EQ(joints[QStringLiteral("GAS-7 North")][QStringLiteral("verdict")].toString(),
              QStringLiteral("fail"));
    EXPECT_EQ(joints[QStringLiteral("GAS-7 North")][QStringLiteral("procedure")].toString(),
              QStringLiteral("Strict gas"));
    EXPECT_EQ(joints[QStringLiteral("W-12")][QStringLiteral("verdict")].toString(),
              QStringLiteral("pass"));
    EXPECT_EQ(joints[QStringLiteral("W-12")][QStringLiteral("procedure")].toString(),
              DefaultProcedure().name);

    const auto book = CVerdictBook::Load(CSettingsProcedureSource());
    const JointCheck check = CheckJoint(RowOf(QStringLiteral("GAS-7 North")), *book);
    ASSERT_TRUE(check.failure.isEmpty()) << qPrintable(check.failure);
    EXPECT_TRUE(check.lines.value(0).startsWith(QStringLiteral("Procedure: Strict gas")));
    EXPECT_EQ(check.lines.last(), QStringLiteral("Verdict: fail"));

    const QString pdfs = tree.path() + QStringLiteral("/pdf");
    r = Run({QStringLiteral("export-pdf"), pdfs, QStringLiteral("--job"), QStringLiteral("gas")});
    ASSERT_EQ(r.code, kExitOk) << qPrintable(r.err);
    // The printed page, then the check page(s).
    EXPECT_GE(PdfPages(ReadBytes(pdfs + QStringLiteral("/gas.pdf"))), 2);
}

// The office's list has the report's machine with another piston area: the
// applied interfacial pressure fails through the library. Put right, the
// verdict is not current and the next scan judges the joint again.
TEST_P(LibraryVerdict, MachineListWithAnotherPistonAreaFailsTheAppliedPressure) {
    const QString list = tree.path() + QStringLiteral("/machines.txt");
    PutFile(list, QString::fromUtf8("# id; model; area; calibrated\n"
                                    "FM-0042; #Q130 HF; 29.44 in²; 2023-01-10\n")
                      .toUtf8());
    Result r = Run({QStringLiteral("machines"), QStringLiteral("--set"), list});
    ASSERT_EQ(r.code, kExitOk) << qPrintable(r.err);
    EXPECT_EQ(r.out, QString::fromUtf8("FM-0042; #Q130 HF; 29.440 in²; 2023-01-10\n"));
    PutFile(share + QStringLiteral("/m.kjr"),
            MakeCheckedReportBytes(9, QStringLiteral("J-M"), true));
    r = Scan();
    ASSERT_EQ(r.code, kExitOk) << qPrintable(r.err);
    QJsonObject j = Listed()[QStringLiteral("J-M")];
    EXPECT_EQ(j[QStringLiteral("verdict")].toString(), QStringLiteral("fail"));
    EXPECT_EQ(j[QStringLiteral("machine_entry")].toString(),
              QString::fromUtf8("FM-0042; #Q130 HF; 29.440 in²; 2023-01-10"));
    const JointCheck check =
        CheckJoint(RowOf(QStringLiteral("J-M")), *CVerdictBook::Load(CSettingsProcedureSource()));
    const QString applied =
        check.lines.filter(QStringLiteral("appliedInterfacialPressure")).value(0);
    EXPECT_TRUE(applied.startsWith(QStringLiteral("appliedInterfacialPressure fail")))
        << qPrintable(applied);
    EXPECT_TRUE(applied.contains(QStringLiteral("29.440 in²"))) << qPrintable(applied);

    SetMachines(QStringLiteral("FM-0042; Rhino 412; 4.71 in2; 2024-01-10"));
    j = Listed()[QStringLiteral("J-M")];
    EXPECT_EQ(j[QStringLiteral("verdict")].toString(), QStringLiteral("not-current"));
    EXPECT_TRUE(
        j[QStringLiteral("verdict_note")].toString().contains(QStringLiteral("machine list")));
    r = Scan();
    EXPECT_TRUE(r.out.contains(QStringLiteral("judged again"))) << qPrintable(r.out);
    j = Listed()[QStringLiteral("J-M")];
    EXPECT_EQ(j[QStringLiteral("verdict")].toString(), QStringLiteral("pass"));
    EXPECT_TRUE(j[QStringLiteral("verdict_current")].toBool());
}

// A rule whose file cannot be read: a clear message, the scan fails, and
// its joints are not judged by the shipped procedure instead (not even
// those judged by it before).
TEST_P(LibraryVerdict, RuleNamingAFileThatCannotBeReadJudgesNothingElse) {
    PutFile(share + QStringLiteral("/a.kjr"),
            MakeCheckedReportBytes(1, QStringLiteral("J-A"), true));
    ASSERT_EQ(Scan().code, kExitOk);
    const QString gone = procedures + QStringLiteral("/gone.ini");
    SetRules(QStringLiteral("J-A => ") + gone + QStringLiteral("\nJ-B => ") + gone);
    PutFile(share + QStringLiteral("/b.kjr"),
            MakeCheckedReportBytes(2, QStringLiteral("J-B"), true));
    Result r = Scan();
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_TRUE(r.err.contains(QStringLiteral("the procedure rule \"J-A => ") + gone +
                               QStringLiteral("\"")))
        << qPrintable(r.err);
    EXPECT_TRUE(r.err.contains(QStringLiteral("cannot read ") + gone)) << qPrintable(r.err);
    auto joints = Listed();
    for (const QString& job : {QStringLiteral("J-A"), QStringLiteral("J-B")}) {
        EXPECT_EQ(joints[job][QStringLiteral("verdict")].toString(), QStringLiteral("not-current"))
            << qPrintable(job);
        EXPECT_TRUE(joints[job][QStringLiteral("verdict_note")].toString().contains(gone));
    }
    EXPECT_EQ(joints[QStringLiteral("J-A")][QStringLiteral("judged_verdict")].toString(),
              QStringLiteral("pass"));
    EXPECT_EQ(joints[QStringLiteral("J-B")][QStringLiteral("judged_verdict")].toString(),
              QString());
    r = Run({QStringLiteral("procedures")});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_TRUE(r.out.contains(QStringLiteral("NOT JUDGED"))) << qPrintable(r.out);
    // Nor is such a rule taken.
    const QString rules = tree.path() + QStringLiteral("/rules.txt");
    PutFile(rules, "J-C => nowhere.ini\n");
    r = Run({QStringLiteral("procedures"), QStringLiteral("--set"), rules});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_TRUE(r.err.contains(QStringLiteral("nothing was changed")));

    // The file there again: both judged by it.
    PutFile(gone, ProcedureBytes(QStringLiteral("Back"), false));
    r = Scan();
    EXPECT_EQ(r.code, kExitOk) << qPrintable(r.err);
    joints = Listed();
    EXPECT_EQ(joints[QStringLiteral("J-A")][QStringLiteral("verdict")].toString(),
              QStringLiteral("pass"));
    EXPECT_EQ(joints[QStringLiteral("J-B")][QStringLiteral("procedure")].toString(),
              QStringLiteral("Back"));
}

// A verdict made by another version of the check is not current, and the
// next scan judges it again; so is one from an index that kept no
// procedure.
TEST_P(LibraryVerdict, AnotherCheckVersionIsJudgedAgain) {
    PutFile(share + QStringLiteral("/a.kjr"),
            MakeCheckedReportBytes(1, QStringLiteral("J-A"), true));
    PutFile(share + QStringLiteral("/b.kjr"),
            MakeCheckedReportBytes(2, QStringLiteral("J-B"), false));
    ASSERT_EQ(Scan().code, kExitOk);
    const QString versions =
        lib.Server() ? QStringLiteral("vtq_library.versions") : QStringLiteral("versions");
    const QStringList older{
        QStringLiteral("UPDATE %1 SET check_version = '1' WHERE job = 'J-A'").arg(versions),
        QStringLiteral("UPDATE %1 SET procedure_name = '', procedure_hash = '', check_version = "
                       "'' WHERE job = 'J-B'")
            .arg(versions)};
    if (lib.Server()) {
        QString error;
        ASSERT_TRUE(lib.Server()->Admin(older, &error)) << qPrintable(error);
    } else {
        {
            QSqlDatabase sql =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("v"));
            sql.setDatabaseName(db);
            ASSERT_TRUE(sql.open());
            QSqlQuery q(sql);
            for (const QString& statement : older)
                ASSERT_TRUE(q.exec(statement));
            q.finish();
            sql.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("v"));
    }
    auto joints = Listed();
    EXPECT_EQ(joints[QStringLiteral("J-A")][QStringLiteral("verdict")].toString(),
              QStringLiteral("not-current"));
    EXPECT_TRUE(joints[QStringLiteral("J-A")][QStringLiteral("verdict_note")].toString().contains(
        QStringLiteral("version 1 of the check")));
    EXPECT_EQ(joints[QStringLiteral("J-B")][QStringLiteral("verdict")].toString(),
              QStringLiteral("not-current"));
    const Result r = Scan();
    EXPECT_TRUE(r.out.contains(QStringLiteral("2 judged again"))) << qPrintable(r.out);
    joints = Listed();
    EXPECT_EQ(joints[QStringLiteral("J-A")][QStringLiteral("verdict")].toString(),
              QStringLiteral("pass"));
    EXPECT_EQ(joints[QStringLiteral("J-B")][QStringLiteral("verdict")].toString(),
              QStringLiteral("fail"));
}

// A joint the procedure does not cover (a demonstration log, a sidewall
// fusion) is "not judged" in the window, with a filter of its own; list
// keeps the machine-readable "unknown".
TEST_P(LibraryVerdict, NotCoveredJointsShowNotJudged) {
    ReportPlan demo = FusionTracePlan({});
    demo.Set(RF_DEMO_MODE, 1);
    demo.Set(RF_JOB_NUMBER, QStringLiteral("DEMO"));
    demo.Set(RF_JOINT_NUMBER, 30);
    PutFile(share + QStringLiteral("/demo.kjr"), Made(demo));
    ReportPlan side = SidewallReport();
    side.Set(RF_JOB_NUMBER, QStringLiteral("SIDE"));
    side.Set(RF_JOINT_NUMBER, 31);
    PutFile(share + QStringLiteral("/side.kjr"), Made(side));
    PutFile(share + QStringLiteral("/good.kjr"),
            MakeCheckedReportBytes(3, QStringLiteral("GOOD"), true));
    ASSERT_EQ(Scan().code, kExitOk);
    auto joints = Listed();
    EXPECT_EQ(joints[QStringLiteral("DEMO")][QStringLiteral("verdict")].toString(),
              QStringLiteral("unknown"));
    EXPECT_TRUE(joints[QStringLiteral("DEMO")][QStringLiteral("verdict_current")].toBool());
    EXPECT_EQ(joints[QStringLiteral("SIDE")][QStringLiteral("verdict")].toString(),
              QStringLiteral("unknown"));
    EXPECT_EQ(Listed({QStringLiteral("--verdict"), QStringLiteral("unknown")}).size(), 2);

    {
        CLibraryWindow window(db);
        ASSERT_TRUE(window.OpenStore());
        ASSERT_TRUE(WaitForRows(window));
        QComboBox* verdict = nullptr;
        for (QComboBox* box : window.findChildren<QComboBox*>())
            if (box->findData(QStringLiteral("pass")) >= 0)
                verdict = box;
        ASSERT_NE(verdict, nullptr);
        const int notJudged = verdict->findText(QStringLiteral("not judged"));
        ASSERT_GE(notJudged, 0);
        verdict->setCurrentIndex(notJudged);
        QStringList shown;
        for (int i = 0; i < window.Model().rowCount(); ++i) {
            shown << window.Model().Row(i).fields.job;
            EXPECT_EQ(window.Model().data(window.Model().index(i, JC_VERDICT)).toString(),
                      QStringLiteral("not judged"));
            EXPECT_TRUE(window.Model()
                            .data(window.Model().index(i, JC_VERDICT), Qt::ToolTipRole)
                            .toString()
                            .startsWith(QStringLiteral("not judged: ")));
        }
        shown.sort();
        EXPECT_EQ(shown, (QStringList{QStringLiteral("DEMO"), QStringLiteral("SIDE")}));
        verdict->setCurrentIndex(verdict->findData(QStringLiteral("pass")));
        ASSERT_EQ(window.Model().rowCount(), 1);
        EXPECT_EQ(window.Model().data(window.Model().index(0, JC_VERDICT)).toString(),
                  QStringLiteral("pass"));
    }
    EXPECT_TRUE(WaitForLibraryWorkers(60000));
}

// A cut download is never a pass in the library: not under its own name,
// nor when the same bytes turn up under a whole report's name (a copy
// renamed, or put on the share), nor when it is judged again.
TEST_P(LibraryVerdict, CutDownloadIsNeverAPass) {
    const QByteArray bytes = MakeCheckedReportBytes(4, QStringLiteral("J-CUT"), true);
    PutFile(share + QStringLiteral("/J-CUT 4 (incomplete).kjr"), bytes);
    ASSERT_EQ(Scan().code, kExitOk);
    EXPECT_EQ(Listed()[QStringLiteral("J-CUT")][QStringLiteral("verdict")].toString(),
              QStringLiteral("incomplete"));
    PutFile(share + QStringLiteral("/copies/J-CUT 4.kjr"), bytes);
    ASSERT_EQ(Scan().code, kExitOk);
    EXPECT_EQ(Listed()[QStringLiteral("J-CUT")][QStringLiteral("verdict")].toString(),
              QStringLiteral("incomplete"));
    // Judged again (a rule now names a copy of the shipped procedure) with
    // only the whole-named copy left.
    QFile::remove(share + QStringLiteral("/J-CUT 4 (incomplete).kjr"));
    PutFile(procedures + QStringLiteral("/p.ini"), ProcedureBytes(QStringLiteral("P"), false));
    SetRules(QStringLiteral("J-CUT => ") + procedures + QStringLiteral("/p.ini"));
    const Result r = Scan();
    EXPECT_TRUE(r.out.contains(QStringLiteral("judged again"))) << qPrintable(r.out);
    const QJsonObject j = Listed()[QStringLiteral("J-CUT")];
    EXPECT_EQ(j[QStringLiteral("procedure")].toString(), QStringLiteral("P"));
    EXPECT_EQ(j[QStringLiteral("verdict")].toString(), QStringLiteral("incomplete"));
    const JointCheck check =
        CheckJoint(RowOf(QStringLiteral("J-CUT")), *CVerdictBook::Load(CSettingsProcedureSource()));
    EXPECT_EQ(check.file, share + QStringLiteral("/copies/J-CUT 4.kjr"));
    EXPECT_TRUE(
        check.lines.value(check.lines.size() - 1).startsWith(QStringLiteral("Verdict: incomplete")))
        << qPrintable(check.lines.join(QLatin1Char('\n')));
    // The job's dossier judges that copy as it enters: as a cut download.
    const QString json = tree.path() + QStringLiteral("/dossier.json");
    const Result dossier =
        Run({QStringLiteral("dossier"), QStringLiteral("--job"), QStringLiteral("J-CUT"),
             QStringLiteral("-o"), tree.path() + QStringLiteral("/dossier.pdf"),
             QStringLiteral("--json"), json});
    ASSERT_EQ(dossier.code, kExitOk) << qPrintable(dossier.err);
    QFile written(json);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(written.readAll()).array()[0][QStringLiteral("verdict")],
              QStringLiteral("incomplete"));

    // The same bytes first seen whole, then cut, in one folder: never pass.
    const QByteArray other = MakeCheckedReportBytes(5, QStringLiteral("J-CUT2"), true);
    PutFile(share + QStringLiteral("/second/J-CUT2 5 (incomplete).kjr"), other);
    PutFile(share + QStringLiteral("/second/J-CUT2 5.kjr"), other);
    ASSERT_EQ(Scan().code, kExitOk);
    EXPECT_EQ(Listed()[QStringLiteral("J-CUT2")][QStringLiteral("verdict")].toString(),
              QStringLiteral("incomplete"));
}

INSTANTIATE_TEST_SUITE_P(Stores, LibraryVerdict,
                         ::testing::Values(Store::SQLite, Store::PostgreSQL), StoreName);
