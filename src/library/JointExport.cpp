#include "library/JointExport.h"

#include "check/ProcedureCheck.h"
#include "library/LibraryScanner.h"
#include "library/NamedRoots.h"
#include "library/VerdictBook.h"
#include "platform/RegularFile.h"
#include "report/DownloadName.h"
#include "report/ReportDrawing.h"
#include "report/ReportPdf.h"
#include "report/VtkDoc.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <unistd.h>

QString LoadIndexedCopy(CVtkDoc& doc, const JointRow& row, QString& failure, bool& cut) {
    bool changed = false;
    for (const JointFile& copy : row.copies) {
        QFile file;
        // A desk may spell a named root's names in another Unicode form.
        if (copy.path.isEmpty() ||
            (!OpenRegularFile(file, copy.path) &&
             (copy.base.isEmpty() ||
              !OpenRegularFile(file,
                               ResolveOnDesk(copy.base, copy.path.mid(copy.base.size() + 1))))))
            continue;
        const QByteArray bytes = ReadAtMost(file, kMaxReportBytes);
        if (file.error() != QFileDevice::NoError || bytes.size() > kMaxReportBytes)
            continue;
        if (QCryptographicHash::hash(bytes, QCryptographicHash::Sha256) != copy.sha256) {
            changed = true;
            continue;
        }
        if (doc.LoadReportImage(bytes)) {
            cut = IsCutDownloadName(copy.display) || (copy.current && row.fields.cut);
            return copy.display;
        }
    }
    const QString what = row.files.value(0);
    failure = changed ? what + QStringLiteral(": the joint's files changed since the library read "
                                              "them; scan again")
                      : what + QStringLiteral(": no file of this joint can be read now");
    return QString();
}

namespace {
// Claims the first free name `base.pdf`, `base (2).pdf`, ... in `folder` by
// making it, so that no file there is written over; empty when none can be.
QString ClaimName(const QString& folder, const QString& base) {
    for (int n = 1; n < 10000; ++n) {
        const QString name = folder + QLatin1Char('/') + base +
                             (n == 1 ? QString() : QStringLiteral(" (%1)").arg(n)) +
                             QStringLiteral(".pdf");
        const int fd = open(QFile::encodeName(name).constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            close(fd);
            return name;
        }
        if (errno != EEXIST)
            return QString();
    }
    return QString();
}
} // namespace

JointCheck CheckJoint(const JointRow& row, const CVerdictBook& verdicts) {
    JointCheck result;
    if (row.id <= 0) {
        result.failure = row.files.value(0) + QStringLiteral(": not a joint report");
        return result;
    }
    CVtkDoc doc{CVtkDoc::Detached{}};
    bool cut = false;
    const QString file = LoadIndexedCopy(doc, row, result.failure, cut);
    if (file.isEmpty())
        return result;
    CheckResult checked;
    QString why;
    if (verdicts.Judge(doc, file, cut, checked, why)) {
        result.file = file;
        result.lines = CheckResultLines(checked);
    } else {
        result.failure = file + QStringLiteral(": not judged: ") + why;
    }
    return result;
}

PdfExport ExportJointPdfs(const std::vector<JointRow>& rows, const QString& folder,
                          const CVerdictBook& verdicts, const std::atomic<bool>* cancel) {
    PdfExport result;
    CVtkDoc doc{CVtkDoc::Detached{}};
    for (const JointRow& row : rows) {
        if (cancel && cancel->load())
            break;
        if (row.id <= 0) {
            result.failures << row.files.value(0) + QStringLiteral(": not a joint report");
            continue;
        }
        QString failure;
        bool cut = false;
        const QString source = LoadIndexedCopy(doc, row, failure, cut);
        if (source.isEmpty()) {
            result.failures << failure;
            continue;
        }
        const QString out = ClaimName(folder, QFileInfo(source).completeBaseName());
        if (out.isEmpty()) {
            result.failures << folder + QStringLiteral(": no PDF can be made there");
            doc.Unload();
            continue;
        }
        // The check pages follow the printed page: the joint's own
        // procedure, or why it is not judged (never another procedure).
        CheckResult checked;
        QString why;
        QStringList lines;
        if (verdicts.Judge(doc, source, cut, checked, why)) {
            lines = CheckResultLines(checked);
        } else {
            lines << QStringLiteral("Not judged: %1").arg(why);
            result.failures << source + QStringLiteral(": its PDF says it is not judged: ") + why;
        }
        // The reader gives the file's fields and samples only; the page needs
        // the report text and the prepared plots, as the view has them.
        PrepareReport(doc);
        if (WriteReportPdfFile(doc, out, QStringLiteral("vtq-library"), &lines)) {
            result.written << out;
        } else {
            QFile::remove(out);
            result.failures << out + QStringLiteral(": cannot be written");
        }
        doc.Unload();
    }
    return result;
}
