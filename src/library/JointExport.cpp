#include "library/JointExport.h"

#include "check/ProcedureCheck.h"
#include "library/LibraryScanner.h"
#include "platform/RegularFile.h"
#include "report/ReportDrawing.h"
#include "report/ReportPdf.h"
#include "report/VtkDoc.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
constexpr qint64 kMaxReportBytes = CLibraryScanner::kMaxReportBytes;

// Loads the first of the joint's files that can still be read; its path, or
// empty when none can.
QString LoadFirstReadable(CVtkDoc& doc, const QStringList& files) {
    for (const QString& path : files) {
        QFile file;
        if (OpenRegularFile(file, path) && file.size() <= kMaxReportBytes &&
            doc.LoadReportImage(file.readAll()))
            return path;
    }
    return QString();
}

const QString kNoFile = QStringLiteral(": no file of this joint can be read now");
} // namespace

JointCheck CheckJoint(const JointRow& row) {
    JointCheck result;
    if (row.id <= 0) {
        result.failure = row.files.value(0) + QStringLiteral(": not a joint report");
        return result;
    }
    CVtkDoc doc;
    result.file = LoadFirstReadable(doc, row.files);
    if (result.file.isEmpty())
        result.failure = row.files.value(0) + kNoFile;
    else
        result.lines = CheckResultLines(CheckReport(doc, result.file, DefaultProcedure()));
    return result;
}

PdfExport ExportJointPdfs(const std::vector<JointRow>& rows, const QString& folder) {
    PdfExport result;
    CVtkDoc doc;
    for (const JointRow& row : rows) {
        if (row.id <= 0) {
            result.failures << row.files.value(0) + QStringLiteral(": not a joint report");
            continue;
        }
        const QString source = LoadFirstReadable(doc, row.files);
        if (source.isEmpty()) {
            result.failures << row.files.value(0) + kNoFile;
            continue;
        }
        // Named like the report; a second joint of the same name in this
        // export is numbered rather than written over the first.
        const QString base = QFileInfo(source).completeBaseName();
        QString out = folder + QLatin1Char('/') + base + QStringLiteral(".pdf");
        for (int n = 2; result.written.contains(out); ++n)
            out = folder + QLatin1Char('/') + base + QStringLiteral(" (%1).pdf").arg(n);
        // The reader gives the file's fields and samples only; the page needs
        // the report text and the prepared plots, as the view has them.
        PrepareReport(doc);
        if (WriteReportPdfFile(doc, out, QStringLiteral("vtq-library")))
            result.written << out;
        else
            result.failures << out + QStringLiteral(": cannot be written");
        doc.FreeReport(false);
    }
    return result;
}
