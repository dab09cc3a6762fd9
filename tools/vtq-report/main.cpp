// vtq-report: a joint report as the report view shows it, for a shell.
//   vtq-report text FILE.kjr [--search N]
//   vtq-report csv FILE.kjr
//   vtq-report json FILE.kjr [--search N]
//   vtq-report png FILE.kjr -o OUT.png [--search N]
//   vtq-report pdf FILE.kjr -o OUT.pdf [--search N] [--check [--procedure FILE]]
//   vtq-report calibration FILE.kdc
//   vtq-report check FILE.kjr... [--procedure FILE] [--json]

#include "Pdf.h"
#include "calibration/CalibArchive.h"
#include "calibration/CalibReport.h"
#include "check/ProcedureCheck.h"
#include "framework/Fonts.h"
#include "framework/Format.h"
#include "framework/Globals.h"
#include "platform/RegularFile.h"
#include "platform/WholeFile.h"
#include "report/ReportDrawing.h"
#include "report/ReportText.h"
#include "report/VtkDoc.h"

#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <cstdio>

namespace {
const char kUsage[] =
    "Usage: vtq-report text FILE.kjr [--search N]\n"
    "       vtq-report csv FILE.kjr\n"
    "       vtq-report json FILE.kjr [--search N]\n"
    "       vtq-report png FILE.kjr -o OUT.png [--search N]\n"
    "       vtq-report pdf FILE.kjr -o OUT.pdf [--search N] [--check [--procedure FILE]]\n"
    "       vtq-report calibration FILE.kdc\n"
    "       vtq-report check FILE.kjr... [--procedure FILE] [--json]\n"
    "A Kelvorn joint report as the report view shows it:\n"
    "  text  the report text, one row a line, the two entries of a row split by a tab\n"
    "  csv   every sample in the file: time (s), pressure (psi), and pressure in the\n"
    "        report's unit when that is not psi; no reading is an empty cell\n"
    "  json  every field, the sample header, the notes and the three plots' axes\n"
    "  png   the whole report view, 240 pixels wide\n"
    "  pdf   the printed page, on one A4 page; with --check the procedure check\n"
    "        follows on the pages after it\n"
    "  --search N   front-end search range in percent, 0 to 100 (default 100)\n"
    "A Kelvorn VTQ calibration archive as its Summary shows it:\n"
    "  calibration  the calibration report, then the Vantrek's session log\n"
    "Whether logged butt-fusion joints follow a fusion procedure (the shipped generic\n"
    "PE procedure, or the INI file --procedure names):\n"
    "  check  each criterion as pass, fail or unknown, then the verdict; --json for\n"
    "         an array with an object per report\n"
    "Exit status: 0 done, 1 the report or archive cannot be read or the picture or\n"
    "PDF not written, 2 usage (also an output file that is the report itself).\n"
    "check, over all its reports: 3 when any joint fails, whatever else happened to\n"
    "the other files; else 1 when a report or the procedure cannot be read; else 4\n"
    "when a check is incomplete or a report not covered; else 0 (every joint passes).\n";

int Usage(const char* error) {
    std::fprintf(stderr, "vtq-report: %s\n%s", error, kUsage);
    return 2;
}

void Print(const QString& text) {
    std::fputs(text.toUtf8().constData(), stdout);
}

// The archive's report and session log, with the handheld's "\r\n" as a
// shell's line ends. A file that is not an archive gives the Summary
// viewer's own message.
int PrintCalibration(const QStringList& args) {
    if (args.size() != 3)
        return Usage("calibration takes one archive and no options");
    CCalibRecord record;
    CalibFileError error;
    if (!LoadCalibArchive(args[2], record, error)) {
        std::fprintf(stderr, "vtq-report: %s\n", qUtf8Printable(error.text));
        return 1;
    }
    const QString crlf = QStringLiteral("\r\n");
    const QString lf = QStringLiteral("\n");
    QString log = record.m_strSessionLog;
    log.replace(crlf, lf);
    Print(BuildCalibReport(record).replace(crlf, lf) + QStringLiteral("\n\nSession Log\n") + log +
          (log.endsWith(lf) ? QString() : lf));
    return std::fflush(stdout) == 0 ? 0 : 1;
}

// Loads the report at `path` into `doc` as every command reads it; false
// (with a line on standard error) when it is not a readable joint report.
bool LoadReportFile(CVtkDoc& doc, const QString& path) {
    QFile file;
    if (!OpenRegularFile(file, path)) {
        std::fprintf(stderr, "vtq-report: cannot open %s: not a readable file\n",
                     qUtf8Printable(path));
        return false;
    }
    file.close();
    g_strReportPath = path;
    if (!doc.LoadReport()) {
        std::fprintf(stderr, "vtq-report: %s is not a readable joint report\n",
                     qUtf8Printable(path));
        return false;
    }
    return true;
}

// The procedure --procedure names, or the shipped one; false, with a line on
// standard error, when the file is refused.
bool LoadProcedureOption(const QString& path, Procedure& procedure) {
    procedure = DefaultProcedure();
    QString error;
    if (path.isEmpty() || LoadProcedure(path, procedure, error))
        return true;
    std::fprintf(stderr, "vtq-report: procedure %s refused: %s\n", qUtf8Printable(path),
                 qUtf8Printable(error));
    return false;
}

// check: every report against one procedure. A failed joint is never hidden
// behind another file: 3 when any joint failed, else 1 when a file (or the
// procedure) cannot be read, else 4 when a check is incomplete, else 0.
int RunCheck(const QStringList& args) {
    QStringList files;
    QString procedurePath;
    bool json = false;
    for (int i = 2; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--procedure") && i + 1 < args.size())
            procedurePath = args[++i];
        else if (args[i] == QLatin1String("--json"))
            json = true;
        else if (args[i].startsWith(QLatin1Char('-')))
            return Usage("unknown or incomplete option");
        else
            files << args[i];
    }
    if (files.isEmpty())
        return Usage("check needs at least one report file");
    Procedure procedure;
    if (!LoadProcedureOption(procedurePath, procedure))
        return 1;
    bool unreadable = false, failed = false, incomplete = false;
    QJsonArray results;
    for (const QString& path : files) {
        CVtkDoc doc;
        if (!LoadReportFile(doc, path)) {
            unreadable = true;
            continue;
        }
        const CheckResult result = CheckReport(doc, path, procedure);
        failed = failed || result.verdict == ReportVerdict::Fail;
        incomplete = incomplete || result.verdict == ReportVerdict::Incomplete ||
                     result.verdict == ReportVerdict::Unknown;
        if (json) {
            results.append(CheckResultJson(result, path));
            continue;
        }
        Print(path + QLatin1Char('\n'));
        for (const QString& line : CheckResultLines(result))
            Print(QStringLiteral("  ") + line + QLatin1Char('\n'));
    }
    if (json)
        Print(QString::fromUtf8(QJsonDocument(results).toJson(QJsonDocument::Indented)));
    if (failed)
        return 3;
    if (std::fflush(stdout) != 0 || unreadable)
        return 1;
    return incomplete ? 4 : 0;
}

const char* PlotName(int kind) {
    return kind == kFrontEndPlot  ? "front-end"
           : kind == kSummaryPlot ? "summary"
                                  : "heater-removal";
}

QJsonObject Json(const CVtkDoc& doc, const QString& path, const ReportFonts& fonts) {
    QJsonObject fields;
    for (int f = 0; f < RF_COUNT; ++f) {
        const ReportValue& v = doc.Field(ReportField(f));
        fields.insert(QString::fromLatin1(kReportFields[f].name),
                      kReportFields[f].text ? QJsonValue(v.text) : QJsonValue(v.number));
    }
    QJsonObject o;
    o.insert(QStringLiteral("file"), path);
    o.insert(QStringLiteral("fields"), fields);
    o.insert(QStringLiteral("header"),
             QJsonObject{{QStringLiteral("text"), doc.HeaderText()},
                         {QStringLiteral("number"), doc.HeaderNumber()},
                         {QStringLiteral("timeSpan"), doc.TimeSpan()},
                         {QStringLiteral("timeSpanSeconds"), doc.TimeSpan() * 0.2}});
    o.insert(QStringLiteral("samplesInFile"), static_cast<qint64>(doc.SamplesInFile()));
    o.insert(QStringLiteral("samplesUsed"), doc.SampleCount());
    o.insert(QStringLiteral("maxPressurePsi"), doc.m_nMaxPressure);
    o.insert(QStringLiteral("pressureUnit"), doc.PressUnit());
    o.insert(QStringLiteral("psiPerUnit"), doc.PsiPerUnit());
    o.insert(QStringLiteral("demonstration"), doc.DemoFlag() != 0);
    o.insert(QStringLiteral("pipeArea"), doc.PipeAreaText());
    o.insert(QStringLiteral("forcesHeading"), doc.ForcesHeading());
    o.insert(QStringLiteral("notes"), doc.NotesText());
    o.insert(QStringLiteral("searchPercent"), g_nSearchPercent);
    o.insert(QStringLiteral("frontEndEnd"), doc.m_nFrontEndEnd);
    o.insert(QStringLiteral("frontEndEndSeconds"), doc.m_nFrontEndEnd * 0.2);

    // The plots as the view lays them out, in the order it draws them.
    const int h = ReportTextHeight(doc, fonts.lineHeight);
    const auto frames = PlotFrames(h, fonts.lineHeight);
    QJsonArray plots;
    for (size_t i = 0; i < frames.size(); ++i) {
        const PlotLayout l = LayoutPlot(kFramePlots[i], frames[i], 0, doc, fonts);
        const PlotState& s = l.state;
        QJsonArray timeLabels, pressureLabels;
        for (const AxisTick& t : l.timeTicks)
            if (t.drawn)
                timeLabels.append(t.label);
        for (const AxisTick& t : l.pressureTicks)
            if (t.drawn)
                pressureLabels.append(t.label);
        plots.append(QJsonObject{
            {QStringLiteral("kind"), s.kind},
            {QStringLiteral("name"), QString::fromLatin1(PlotName(s.kind))},
            {QStringLiteral("title"), l.title},
            {QStringLiteral("timeStart"), s.start},
            {QStringLiteral("timeEnd"), s.end},
            {QStringLiteral("minutes"), s.minutes},
            // What one unit of timeStart, timeEnd and timeStep lasts.
            {QStringLiteral("secondsPerTimeUnit"), s.minutes ? 12.0 : 0.2},
            {QStringLiteral("timeStep"), s.timeStep},
            {QStringLiteral("pressureStep"), s.pressStep},
            {QStringLiteral("pressureTop"), s.top},
            {QStringLiteral("pressureTopPsi"), s.topPsi},
            {QStringLiteral("timeUnit"), l.unitWord},
            {QStringLiteral("timeLabels"), timeLabels},
            {QStringLiteral("pressureLabels"), pressureLabels},
            {QStringLiteral("curve"), l.curve},
        });
    }
    o.insert(QStringLiteral("plots"), plots);
    return o;
}
} // namespace

int main(int argc, char** argv) {
    // Drawn off screen: no display is needed, nor looked for.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own notes about the desktop session (no runtime folder and the
    // like) are no concern of a shell; only the tool's own lines reach it.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "vtq-report: %s\n", qUtf8Printable(message));
    });
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 2 &&
        (args[1] == QLatin1String("--help") || args[1] == QLatin1String("-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.size() < 3)
        return Usage("a command and a report file are needed");
    if (args[1] == QLatin1String("calibration"))
        return PrintCalibration(args);
    if (args[1] == QLatin1String("check"))
        return RunCheck(args);
    const QString command = args[1];
    const QString path = args[2];
    if (command != QLatin1String("text") && command != QLatin1String("csv") &&
        command != QLatin1String("json") && command != QLatin1String("png") &&
        command != QLatin1String("pdf"))
        return Usage("unknown command");
    int search = 100;
    bool check = false;
    QString out, procedurePath;
    for (int i = 3; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--search") && i + 1 < args.size() &&
            command != QLatin1String("csv")) {
            bool ok = false;
            search = args[++i].toInt(&ok);
            if (!ok || search < 0 || search > 100)
                return Usage("--search takes a percentage from 0 to 100");
        } else if (args[i] == QLatin1String("-o") && i + 1 < args.size() &&
                   (command == QLatin1String("png") || command == QLatin1String("pdf"))) {
            out = args[++i];
        } else if (args[i] == QLatin1String("--check") && command == QLatin1String("pdf")) {
            check = true;
        } else if (args[i] == QLatin1String("--procedure") && i + 1 < args.size() &&
                   command == QLatin1String("pdf")) {
            procedurePath = args[++i];
        } else {
            return Usage("unknown or incomplete option");
        }
    }
    if (command == QLatin1String("png") && out.isEmpty())
        return Usage("png needs -o OUT.png");
    if (command == QLatin1String("pdf") && out.isEmpty())
        return Usage("pdf needs -o OUT.pdf");
    if (!procedurePath.isEmpty() && !check)
        return Usage("--procedure goes with --check");
    Procedure procedure;
    if (!LoadProcedureOption(procedurePath, procedure))
        return 1;
    // Written over, the report would be lost for a picture of itself.
    if (!out.isEmpty() && IsSameFile(path, out))
        return Usage("the output file is the report itself");

    QFile file;
    if (!OpenRegularFile(file, path)) {
        std::fprintf(stderr, "vtq-report: cannot open %s: not a readable file\n",
                     qUtf8Printable(path));
        return 1;
    }
    file.close();
    LoadProgramFonts();
    g_strReportPath = path;
    CVtkDoc doc;
    g_nSearchPercent = search; // the document starts at 100
    if (!doc.LoadReport()) {
        std::fprintf(stderr, "vtq-report: %s is not a readable joint report\n",
                     qUtf8Printable(path));
        return 1;
    }
    PrepareReport(doc);

    const ReportFonts fonts = MakeReportFonts();
    if (command == QLatin1String("text")) {
        for (const ReportRow& row : ReportRows(doc.ReportText()))
            Print(WithoutMnemonics(row.first) +
                  (row.pair ? QLatin1Char('\t') + WithoutMnemonics(row.second) : QString()) +
                  QLatin1Char('\n'));
    } else if (command == QLatin1String("csv")) {
        // A psi report needs no second pressure column.
        const bool converted = doc.PressUnit() != QLatin1String("psi");
        Print(QStringLiteral("time (s),pressure (psi)") +
              (converted ? QStringLiteral(",pressure (%1)").arg(doc.PressUnit()) : QString()) +
              QLatin1Char('\n'));
        const QByteArray& samples = doc.SampleCopy();
        for (qsizetype i = 0; i + 4 <= samples.size(); i += 4) {
            const int t =
                static_cast<quint8>(samples[i]) | (static_cast<quint8>(samples[i + 1]) << 8);
            const int p = static_cast<qint16>(static_cast<quint8>(samples[i + 2]) |
                                              (static_cast<quint8>(samples[i + 3]) << 8));
            // No reading is no number: an empty cell, not a pressure of 0.
            const bool reading = p < CVtkDoc::kNoReading;
            QString row = FormatDouble("%.1f", t * 0.2) + QLatin1Char(',');
            if (reading)
                row += QString::number(p);
            if (converted) {
                row += QLatin1Char(',');
                if (reading)
                    row += FormatDouble("%.3f", p / doc.PsiPerUnit());
            }
            Print(row + QLatin1Char('\n'));
        }
    } else if (command == QLatin1String("json")) {
        Print(QString::fromUtf8(
            QJsonDocument(Json(doc, path, fonts)).toJson(QJsonDocument::Indented)));
    } else if (command == QLatin1String("pdf")) {
        const QStringList lines = CheckResultLines(CheckReport(doc, path, procedure));
        if (!WriteReportPdf(doc, out, check ? &lines : nullptr))
            return 1;
    } else {
        const QSize size =
            ReportScrollSize(ReportTextHeight(doc, fonts.lineHeight), fonts.lineHeight);
        QImage image(kRowRight, size.height(), QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            DrawReport(painter, doc, fonts, QPoint());
        }
        // Renamed into place only when whole, like the PDF.
        if (!WriteWholeFileWith(out,
                                [&image](QIODevice& file) { return image.save(&file, "PNG"); })) {
            std::fprintf(stderr, "vtq-report: cannot write %s\n", qUtf8Printable(out));
            return 1;
        }
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
