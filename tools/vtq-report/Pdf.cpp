#include "Pdf.h"

#include "report/ReportPdf.h"

#include <QString>
#include <cstdio>

bool WriteReportPdf(const CVtkDoc& doc, const QString& out, const QStringList* check) {
    if (WriteReportPdfFile(doc, out, QStringLiteral("vtq-report"), check))
        return true;
    std::fprintf(stderr, "vtq-report: cannot write %s\n", qUtf8Printable(out));
    return false;
}
