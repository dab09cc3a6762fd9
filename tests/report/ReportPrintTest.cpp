// The printed page: the member calls on the printing control, value by value,
// for a butt-fusion and a demonstration sidewall report; and Print from the
// view: the reminder, the print dialog, the page in a PDF file, and a printer
// that fails.
#include "ReportMaker.h"
#include "support/RunTool.h"
#include "support/TestEnv.h"

#include "framework/Fonts.h"
#include "framework/Globals.h"
#include "platform/MessageBox.h"
#include "platform/PrintDialog.h"
#include "report/PrinterCE.h"
#include "report/ReportDrawing.h"
#include "report/ReportPdf.h"
#include "report/ReportPlot.h"
#include "report/ReportPrint.h"
#include "report/VtkDoc.h"
#include "report/VtkView.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {
// Reads the recorded calls in order and checks each against what the page
// must call next.
struct Walk {
    const std::vector<PrinterCall>& calls;
    size_t at = 0;

    const PrinterCall* Next() {
        EXPECT_LT(at, calls.size()) << "the page ended early";
        return at < calls.size() ? &calls[at++] : nullptr;
    }
    void Call(int id, std::vector<float> args = {}, const QString& text = QString()) {
        const PrinterCall expected{id, text, std::move(args), 0};
        if (const PrinterCall* c = Next()) {
            EXPECT_EQ(c->ToString(), expected.ToString()) << "call " << at - 1;
        }
    }
    void Text(const QString& text, float x, float y) { Call(10, {x, y}, text); }
    // A measure of `text` (40 width, 41 height): checked, and its result.
    float Measure(int id, const QString& text) {
        const PrinterCall* c = Next();
        if (!c)
            return 0;
        EXPECT_EQ(c->id, id) << "call " << at - 1 << ": " << c->ToString().toStdString();
        EXPECT_EQ(c->text, text) << "call " << at - 1;
        EXPECT_GT(c->result, 0) << "call " << at - 1;
        return c->result;
    }
};

// The page of `doc` as it must be printed, walked over the recorded calls.
void ExpectPage(Walk& w, const CVtkDoc& doc, bool first) {
    if (first)
        w.Call(59, {}, QStringLiteral("EXTECH"));
    w.Call(5);
    w.Call(11, {5});
    w.Call(63, {5, 1, 2.5f, 12.0f, 0, 0, 0, 0});
    w.Call(11, {6});
    w.Call(20, {}, QStringLiteral("Tahoma"));
    w.Call(13, {0});
    w.Call(54, {0});
    w.Call(28, {0});
    w.Call(29, {0});
    w.Call(50, {1});
    w.Call(26, {0});
    w.Call(64, {0, 0.0f, 2, 0, 0, 1, 0, 0});
    w.Call(15, {0.3f});
    w.Call(1, {0, 0, 46, 0});
    if (doc.DemoFlag()) {
        w.Call(21, {40});
        w.Call(17, {1});
        w.Call(32, {float(0x787878)});
        for (float y : {15.0f, 50.0f, 85.0f, 120.0f, 155.0f})
            w.Text(QStringLiteral("Demo"), 8, y);
        w.Call(32, {0});
    }
    w.Call(21, {12});
    w.Call(17, {1});
    const QString title = QStringLiteral("Kelvorn Joint Report");
    const float tw = w.Measure(40, title), th = w.Measure(41, title);
    w.Text(title, (46 - tw) * 0.5f, 4);
    w.Call(21, {8});
    w.Call(17, {0});
    const float lh = w.Measure(41, QStringLiteral("Average"));
    float x = 0, y = th * 2 + 4;
    bool met = false;
    const QStringList& entries = doc.ReportText();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        w.Text(i == 0 ? QStringLiteral(" 1. Date & Time") : entries[i], x, y);
        met = met || entries[i] == QStringLiteral("Recorded Data:");
        if (x == 16.5f || met) {
            x = 0;
            y += lh;
        } else {
            x = 16.5f;
        }
    }
    const float top = y + lh;

    const int kinds[3] = {kFrontEndPlot, kHeaterRemovalPlot, kSummaryPlot};
    for (int k = 0; k < 3; ++k) {
        const float boxTop = top + 35.0f * float(k);
        w.Call(15, {0.1f});
        w.Call(7, {0, boxTop, 46, boxTop + 30});
        w.Call(21, {8});
        const float u = w.Measure(40, QStringLiteral("Kg/cm²"));
        const float v = w.Measure(41, QStringLiteral("Kg/cm²"));
        const float l = u, t = boxTop + 1.25f * v, r = 45, b = boxTop + 30 - 1.25f * v;
        w.Call(15, {0.1f});
        w.Call(7, {l, t, r, b});
        float mw = w.Measure(40, doc.PressUnit()), mh = w.Measure(41, doc.PressUnit());
        w.Text(doc.PressUnit(), l - mw, t - mh - 0.5f);
        const QString plotTitle = PlotTitle(kinds[k], doc);
        mw = w.Measure(40, plotTitle);
        mh = w.Measure(41, plotTitle);
        w.Text(plotTitle, l + ((r - l) - mw) * 0.5f, t - mh - 0.5f);

        PlotState s;
        s.kind = kinds[k];
        ScalePlot(s, doc);
        auto xOf = [&](int time) {
            const float px =
                l + float(std::max(time, s.start) - s.start) * (r - l) / float(s.end - s.start);
            return std::max(std::min(px, r), l);
        };
        auto yOf = [&](int psi) {
            return std::max(std::min(b - float(psi) * (b - t) / float(s.topPsi), b), t);
        };
        w.Call(15, {0.1f});
        const QString word = s.minutes ? QStringLiteral("Minutes") : QStringLiteral("Seconds");
        w.Text(word, 0.7f, b + 0.1f);
        const float e = w.Measure(40, word) + 0.7f;
        for (int tick = s.timeStep; tick < s.end - s.start; tick += s.timeStep) {
            const float tx = xOf(s.start + tick);
            w.Call(1, {tx, t, tx, b});
            const QString label = TimeTickLabel(s, tick);
            const float lw = w.Measure(40, label);
            if (tx - lw * 0.5f >= e && tx - lw * 0.5f + lw < r)
                w.Text(label, tx - lw * 0.5f, b + 0.1f);
        }
        for (int p = s.pressStep; p < s.top; p += s.pressStep) {
            const float py = yOf(int(p * doc.PsiPerUnit()));
            w.Call(1, {l, py, r, py});
            const QString label = QString::number(p);
            const float lw = w.Measure(40, label), lh2 = w.Measure(41, label);
            if (py > t + lh2 * 0.5f && py < b - lh2 * 0.5f)
                w.Text(label, l - lw - 0.5f, py - lh2 * 0.5f);
        }
        if (s.end < 2 || (s.kind == kHeaterRemovalPlot && s.end - s.start < 100))
            continue;
        w.Call(15, {0.4f});
        const int div = s.minutes ? 60 : 1;
        for (int i = 0; i + 1 < doc.SampleCount(); ++i) {
            const float x1 = xOf(doc.TimeAt(i) / div), x2 = xOf(doc.TimeAt(i + 1) / div);
            if (!(s.kind == kHeaterRemovalPlot && x2 <= l))
                w.Call(1, {x1, yOf(doc.PressureAt(i)), x2, yOf(doc.PressureAt(i + 1))});
            if (x2 >= r)
                break;
        }
    }
    w.Call(2);
}

struct Print : ::testing::Test {
    bool fonts = (LoadProgramFonts(), true);
    CVtkDoc doc;
    CVtkView view{doc, nullptr};
    ScriptedPrompter prompter;
    ScriptedPrintDialog dialog;

    void Show(const ReportPlan& plan) {
        g_strReportPath = WriteReport(plan, QStringLiteral("p.kjr"));
        g_bReportChanged = true;
        QImage image(240, 268, QImage::Format_RGB32);
        QPainter painter(&image);
        view.OnDraw(painter);
    }
    size_t Count(int id) const {
        size_t n = 0;
        for (const PrinterCall& c : view.Printer()->Calls())
            n += c.id == id;
        return n;
    }
};
} // namespace

TEST_F(Print, PageCallsFollowTheLayoutForButtFusionAndDemonstrationSidewall) {
    Show(ButtFusionReport());
    CPrinterCE printer;
    PrintReport(printer, doc);
    Walk walk{printer.Calls()};
    ExpectPage(walk, doc, true);
    EXPECT_EQ(walk.at, printer.Calls().size());
    // Labels and values side by side, from "Recorded Data:" on one a row.
    const auto& c = printer.Calls();
    const auto at = [&](const QString& text) {
        return std::find_if(c.begin(), c.end(),
                            [&](const PrinterCall& call) { return call.text == text; });
    };
    ASSERT_NE(at(QStringLiteral(" 2. Joint Number")), c.end());
    EXPECT_EQ(at(QStringLiteral(" 2. Joint Number"))->args[0], 0.0f);
    EXPECT_EQ((at(QStringLiteral(" 2. Joint Number")) + 1)->args[0], 16.5f);
    EXPECT_EQ(at(QStringLiteral(" 1. Date && Time")), c.end());
    EXPECT_EQ(std::count_if(c.begin(), c.end(), [](auto& call) { return call.id == 2; }), 1);

    // A demonstration sidewall report in bar, printed a second time on the
    // same control: no second "EXTECH", the watermark before the title.
    ReportPlan sidewall = SidewallReport();
    sidewall.Set(RF_DEMO_MODE, 1);
    Show(sidewall);
    printer.ClearCalls();
    PrintReport(printer, doc);
    Walk again{printer.Calls()};
    ExpectPage(again, doc, false);
    EXPECT_EQ(again.at, printer.Calls().size());
    // The page fits its 46 units and lies below the rule.
    EXPECT_LE(printer.PageRight(), 46.0f);
    EXPECT_GT(printer.PageBottom(), 100.0f);
}

TEST_F(Print, PrintAsksFirstThenPrintsThroughTheDialogAndReportsAFailedPrinter) {
    Show(ButtFusionReport());
    // No: nothing printed, no control made, no dialog.
    prompter.Answer(IDNO);
    view.OnFilePrint();
    ASSERT_EQ(prompter.Shown().size(), 1u);
    EXPECT_EQ(prompter.Shown()[0].text,
              QStringLiteral("Please make sure printer is turned on before proceeding.  "
                             "Continue printing?"));
    EXPECT_EQ(prompter.Shown()[0].caption, QStringLiteral("Reminder"));
    EXPECT_EQ(prompter.Shown()[0].type, MB_YESNO | MB_ICONEXCLAMATION);
    EXPECT_EQ(view.Printer(), nullptr);
    EXPECT_EQ(dialog.Shown(), 0);

    // Yes, then the dialog cancelled: still nothing.
    prompter.Answer(IDYES);
    view.OnFilePrint();
    EXPECT_EQ(dialog.Shown(), 1);
    EXPECT_EQ(view.Printer(), nullptr);

    // Printing into a PDF file: one page, and no message after the reminder.
    const QString pdf = QCoreApplication::applicationDirPath() + QStringLiteral("/print-test.pdf");
    QFile::remove(pdf);
    prompter.Clear();
    prompter.Answer(IDYES);
    dialog.Answer(pdf);
    view.OnFilePrint();
    EXPECT_EQ(prompter.Shown().size(), 1u);
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r"), 1);
    ASSERT_NE(view.Printer(), nullptr);
    EXPECT_EQ(Count(59), 1u);

    // A printer that cannot take the page: a clear error, and the control
    // is not made a second time.
    prompter.Clear();
    prompter.Answer(IDYES);
    dialog.Answer(QStringLiteral("/nonexistent-folder/report.pdf"));
    view.OnFilePrint();
    ASSERT_EQ(prompter.Shown().size(), 2u);
    EXPECT_EQ(prompter.Shown()[1].text,
              QStringLiteral("The report was not printed on /nonexistent-folder/report.pdf: "
                             "the printer could not be opened."));
    EXPECT_EQ(prompter.Shown()[1].type & MB_ICONMASK, MB_ICONERROR);
    EXPECT_EQ(Count(59), 1u);
    EXPECT_EQ(Count(5), 2u);
    QFile::remove(pdf);
}

namespace {
// A word of a PDF page as pdftotext places it, in points.
struct PageWord {
    QString text;
    double box[4] = {};
};

std::vector<PageWord> PageWords(const QString& pdf) {
    const ToolRun r = RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, "-"});
    std::vector<PageWord> words;
    static const QRegularExpression word(QStringLiteral(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    for (auto m = word.globalMatch(QString::fromUtf8(r.out)); m.hasNext();) {
        const QRegularExpressionMatch w = m.next();
        PageWord p{w.captured(5), {}};
        for (int i = 0; i < 4; ++i)
            p.box[i] = w.captured(i + 1).toDouble();
        words.push_back(p);
    }
    return words;
}

QString WordsText(const std::vector<PageWord>& words) {
    QString text;
    for (const PageWord& w : words)
        text += QStringLiteral("%1 %2 %3 %4 %5\n")
                    .arg(w.text)
                    .arg(w.box[0], 0, 'f', 2)
                    .arg(w.box[1], 0, 'f', 2)
                    .arg(w.box[2], 0, 'f', 2)
                    .arg(w.box[3], 0, 'f', 2);
    return text;
}

std::vector<PageWord> ParseWordsText(const QByteArray& text) {
    std::vector<PageWord> words;
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() != 5)
            continue;
        PageWord w{QString::fromUtf8(parts[0]), {}};
        for (int i = 0; i < 4; ++i)
            w.box[i] = parts[i + 1].toDouble();
        words.push_back(w);
    }
    return words;
}

QString GoldenFile(const char* name) {
    return QStringLiteral(VTQ_TESTS_SOURCE "/report/golden/") + QLatin1String(name);
}
} // namespace

// The page on paper and in `vtq-report pdf` stays what it was: every word at
// its place (to a twentieth of a point), and the page rendered at 50 dpi alike
// but for a few pixels of antialiasing. The recorded words and picture were
// made before the page's drawing was moved into a painter and a rectangle;
// after a change made on purpose, a failure prints the words and says where
// it left the page's picture, to be put in their place.
TEST(PrintedPage, PdfKeepsEveryWordAndLineWhereItWas) {
    LoadProgramFonts();
    ReportPlan plan = ButtFusionReport();
    plan.Set(RF_DEMO_MODE, 1);
    plan.Set(RF_NOTES, QStringLiteral("<b>fit</b> & verified"));
    g_strReportPath = WriteReport(plan, QStringLiteral("golden.kjr"));
    CVtkDoc doc;
    ASSERT_TRUE(doc.LoadReport());
    PrepareReport(doc);
    const QString pdf = TestRootFolder() + QStringLiteral("/golden.pdf");
    const QStringList check = {QStringLiteral("Procedure: Generic PE butt fusion"),
                               QStringLiteral("heaterTemperature   pass    430 °F"),
                               QStringLiteral("Verdict: pass")};
    ASSERT_TRUE(WriteReportPdfFile(doc, pdf, QStringLiteral("test"), &check));
    const std::vector<PageWord> words = PageWords(pdf);
    ASSERT_GT(words.size(), 100u);
    const QString prefix = TestRootFolder() + QStringLiteral("/golden");
    ASSERT_EQ(RunTool(QStringLiteral("pdftoppm"),
                      {QStringLiteral("-r"), QStringLiteral("50"), QStringLiteral("-gray"),
                       QStringLiteral("-png"), QStringLiteral("-f"), QStringLiteral("1"),
                       QStringLiteral("-singlefile"), pdf, prefix})
                  .code,
              0);
    const QImage picture(prefix + QStringLiteral(".png"));
    ASSERT_FALSE(picture.isNull());

    const std::vector<PageWord> expected =
        ParseWordsText(ReadAll(GoldenFile("printed-page-words.txt")));
    ASSERT_EQ(words.size(), expected.size()) << WordsText(words).toStdString();
    for (size_t i = 0; i < words.size(); ++i) {
        EXPECT_EQ(words[i].text, expected[i].text) << "word " << i;
        for (int k = 0; k < 4; ++k)
            EXPECT_NEAR(words[i].box[k], expected[i].box[k], 0.05)
                << "word " << i << " " << words[i].text.toStdString();
    }
    const QImage recorded(GoldenFile("printed-page.png"));
    ASSERT_EQ(picture.size(), recorded.size());
    // Pixels that differ by more than a quarter of black to white.
    int differ = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            differ += std::abs(qGray(picture.pixel(x, y)) - qGray(recorded.pixel(x, y))) > 64;
    const QString now = QDir::temp().filePath(QStringLiteral("printed-page-now.png"));
    EXPECT_LT(differ, picture.width() * picture.height() / 2000)
        << differ << " pixels differ; this page is "
        << (picture.save(now) ? now : QString()).toStdString();
}

// A check longer than a page goes on over further pages: each under the
// title and the joint's line, every line once and in order, a line longer
// than a whole page in its wrapped pieces, and nothing below the page's
// bottom margin.
TEST(PrintedPage, CheckLinesThatDoNotFitContinueOnFurtherPages) {
    LoadProgramFonts();
    g_strReportPath = WriteReport(ButtFusionReport(), QStringLiteral("check.kjr"));
    CVtkDoc doc;
    ASSERT_TRUE(doc.LoadReport());
    PrepareReport(doc);
    QStringList lines;
    for (int i = 1; i <= 150; ++i)
        lines << QStringLiteral("line%1 of the check").arg(i, 3, 10, QLatin1Char('0'));
    QStringList words;
    for (int i = 1; i <= 2500; ++i)
        words << QStringLiteral("w%1").arg(i, 4, 10, QLatin1Char('0'));
    lines.insert(100, words.join(QLatin1Char(' ')));
    const QString pdf = TestRootFolder() + QStringLiteral("/long-check.pdf");
    ASSERT_TRUE(WriteReportPdfFile(doc, pdf, QStringLiteral("test"), &lines));

    const QByteArray info = RunTool(QStringLiteral("pdfinfo"), {pdf}).out;
    const int pages = QString::fromUtf8(info)
                          .section(QStringLiteral("Pages:"), 1)
                          .split(QLatin1Char('\n'))[0]
                          .trimmed()
                          .toInt();
    EXPECT_GE(pages, 5) << info.constData();
    QString all;
    for (int page = 2; page <= pages; ++page) {
        const QString text = QString::fromUtf8(
            RunTool(QStringLiteral("pdftotext"),
                    {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                     QString::number(page), pdf, QStringLiteral("-")})
                .out);
        EXPECT_TRUE(text.startsWith(page == 2 ? QStringLiteral("Procedure check\n")
                                              : QStringLiteral("Procedure check (continued)\n")))
            << page;
        EXPECT_TRUE(text.contains(QStringLiteral("Job Number J-2024-88, Joint Number 7"))) << page;
        all += text;
    }
    // Every word in order; the long line's pieces may be parted by a page's
    // heading, every other line is whole and there once.
    const QString flat = all.simplified();
    qsizetype at = 0;
    for (const QString& line : lines) {
        for (const QString& word : line.split(QLatin1Char(' '))) {
            const qsizetype found = flat.indexOf(word, at);
            ASSERT_GE(found, at) << word.toStdString();
            at = found + word.size();
        }
        if (line.size() < 100) {
            EXPECT_EQ(flat.count(line), 1) << line.toStdString();
        }
    }
    // 10 mm from the bottom of an A4 page, in points.
    for (const PageWord& word : PageWords(pdf))
        EXPECT_LE(word.box[3], 841.89 - 28.3) << word.text.toStdString();
}
