#include "LibraryTree.h"

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

void PutFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << qPrintable(path);
    ASSERT_EQ(file.write(bytes), bytes.size());
}
