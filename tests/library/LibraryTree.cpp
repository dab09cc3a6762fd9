#include "LibraryTree.h"

#include "library/LibraryStore.h"
#include "library/Mounts.h"
#include "library/RootProbe.h"
#include "library/SqliteIndexFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {
QByteArray Bytes(ReportPlan plan, int joint, const QString& job) {
    plan.Set(RF_JOINT_NUMBER, joint);
    plan.Set(RF_JOB_NUMBER, job);
    plan.Set(RF_DAY, 1 + joint % 28);
    const QString path = WriteReport(plan, QStringLiteral("made.kjr"));
    const QByteArray bytes = ReadAll(path);
    QFile::remove(path);
    return bytes;
}
} // namespace

QByteArray MakeReportBytes(int joint, const QString& job, int samples) {
    return Bytes(ButtFusionReport(samples), joint, job);
}

QByteArray MakeCheckedReportBytes(int joint, const QString& job, bool passes) {
    FusionTrace trace;
    if (!passes)
        trace.bead = 380;
    return Bytes(FusionTracePlan(trace), joint, job);
}

std::vector<QByteArray> ManyReports(int count, int samples) {
    ReportPlan plan = ButtFusionReport(samples);
    plan.Set(RF_JOB_NUMBER, QStringLiteral("J-MANY"));
    const auto made = [&](int joint) {
        plan.Set(RF_JOINT_NUMBER, joint);
        const QString path = WriteReport(plan, QStringLiteral("many.kjr"));
        const QByteArray bytes = ReadAll(path);
        QFile::remove(path);
        return bytes;
    };
    // The joint number is one little-endian word in the file: found by
    // where two reports differ, and written for each.
    const QByteArray one = made(1), two = made(2);
    qsizetype at = -1;
    for (qsizetype i = 0; i < one.size() && i < two.size(); ++i)
        if (one[i] != two[i]) {
            at = i;
            break;
        }
    std::vector<QByteArray> reports;
    EXPECT_GE(at, 0);
    if (at < 0 || one.size() != two.size())
        return reports;
    for (int joint = 1; joint <= count; ++joint) {
        QByteArray bytes = one;
        bytes[at] = char(joint & 0xff);
        bytes[at + 1] = char((joint >> 8) & 0xff);
        reports.push_back(bytes);
    }
    return reports;
}

void PutFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << qPrintable(path);
    ASSERT_EQ(file.write(bytes), bytes.size());
}

LibrarySeams::~LibrarySeams() {
    SetMountTableForTests({});
    SetProbeHookForTests(nullptr);
    SetLocalIndexFolderForTests(QString());
}

std::string StoreName(const ::testing::TestParamInfo<Store>& info) {
    return info.param == Store::PostgreSQL ? "PostgreSQL" : "SQLite";
}

void PrintTo(Store store, std::ostream* os) {
    *os << (store == Store::PostgreSQL ? "PostgreSQL" : "SQLite");
}

TestLibrary::TestLibrary(Store store, const QString& sqlitePath, bool init) {
    if (store == Store::SQLite) {
        database = sqlitePath;
        return;
    }
    m_server = std::make_unique<TestDatabase>();
    if (!m_server->Ready()) {
        m_error = m_server->Error();
        return;
    }
    database = m_server->Url();
    if (init) {
        CLibraryStore made(database);
        if (made.Init(false) != CLibraryStore::OpenResult::Ok)
            m_error = made.Message();
    }
}
