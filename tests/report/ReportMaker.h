#pragma once
// Joint report files for tests, benchmarks and the fuzzer's seeds, laid out
// the way a download keeps the Vantrek's block replies.

#include "report/ReportFields.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <utility>
#include <vector>

struct ReportPlan {
    std::array<ReportValue, RF_COUNT> fields;
    int headerNumber = 5;
    int timeSpan = -1; // -1: the last sample's time
    // Time stamp (0.2 s units) and pressure (psi) of each sample.
    std::vector<std::pair<int, int>> samples;

    void Set(ReportField f, const QString& text) { fields[f].text = text; }
    void Set(ReportField f, int number) { fields[f].number = number; }
    QByteArray HeaderText() const;
};

// A butt-fusion pipe joint in psi, with a fusion cycle of `samples` samples,
// one a second: a rise to the bead pressure, a drop for the soak, a second
// rise for the fuse and the cool.
ReportPlan ButtFusionReport(int samples = 300);
// A sidewall fitting joint in bar with a forces heading.
ReportPlan SidewallReport();

// The Vantrek's block reply for the fields first..last.
QByteArray FieldBlock(const char* head, const ReportPlan& plan, int first, int last);

// Writes the report into the report folder under `name`, and returns its
// path.
QString WriteReport(const ReportPlan& plan, const QString& name);
QByteArray ReadAll(const QString& path);
