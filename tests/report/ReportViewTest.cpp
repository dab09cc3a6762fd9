// The report view and the document commands: the drawing's geometry, the
// scroll sizes, Open, Append Notes and Search Range.
#include "ReportMaker.h"

#include "framework/Fonts.h"
#include "framework/Globals.h"
#include "framework/Modal.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "report/AppendNotesDlg.h"
#include "report/ReportText.h"
#include "report/Resource.h"
#include "report/SearchRangeDlg.h"
#include "report/VtkDoc.h"
#include "report/VtkView.h"
#include "session/ReportStorage.h"

#include <QFile>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPlainTextEdit>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {
struct View : ::testing::Test {
    // The program's fonts, as the view finds them at start-up.
    bool fonts = (LoadProgramFonts(), true);
    CVtkDoc doc;
    CVtkView view{doc, nullptr};
    ScriptedPrompter prompter;
    ScriptedRunner runner;

    void Show(const ReportPlan& plan, const QString& name = QStringLiteral("v.kjr")) {
        g_strReportPath = WriteReport(plan, name);
        g_bReportChanged = true;
        Paint();
    }
    // One paint of the whole report, as the view does it.
    QImage Paint() {
        const QSize size = view.ScrollSize().isEmpty() ? QSize(240, 268) : view.ScrollSize();
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        view.OnDraw(painter);
        return image;
    }
    int Lh() const { return view.Fonts().lineHeight; }
};

bool Dark(const QImage& image, int x0, int y0, int x1, int y1) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (qGray(image.pixel(x, y)) < 128)
                return true;
    return false;
}
} // namespace

TEST_F(View, DrawsTextRowsAndThreePlotFramesAndScrolls) {
    view.resize(240, 268);
    ReportPlan plan = ButtFusionReport();
    Show(plan);
    const int lh = Lh();
    ASSERT_GT(lh, 10);
    const int rows = static_cast<int>(ReportRows(doc.ReportText()).size());
    const int h = (rows + 2) * lh;
    EXPECT_EQ(view.ScrollSize(), QSize(280, h + 2 * (lh + 181)));
    EXPECT_FALSE(g_bReportChanged);

    const QImage image = Paint();
    // Labels begin at x = 10, values at x = 88, rows one line high from one
    // line down.
    EXPECT_FALSE(Dark(image, 0, 0, 10, h - lh));
    EXPECT_FALSE(Dark(image, 0, 0, 240, lh));
    EXPECT_TRUE(Dark(image, 10, lh, 88, 2 * lh));
    EXPECT_TRUE(Dark(image, 88, lh, 240, 2 * lh));
    // Three light grey frames, x 5 to 225, 120 high, a line apart.
    const QColor grey(192, 192, 192);
    for (int top : {h, h + lh + 120, h + 2 * (lh + 120)}) {
        EXPECT_EQ(image.pixelColor(5, top + 60), grey) << top;
        EXPECT_EQ(image.pixelColor(224, top + 60), grey) << top;
        EXPECT_EQ(image.pixelColor(225, top + 60), QColor(Qt::white)) << top;
        EXPECT_EQ(image.pixelColor(150, top), grey) << top;
        EXPECT_EQ(image.pixelColor(150, top + 119), grey) << top;
    }
    // No watermark on a real joint; a demonstration's is light grey.
    auto watermark = [](const QImage& image) {
        int n = 0;
        for (int y = 10; y < 100; ++y)
            for (int x = 30; x < 240; ++x)
                n += image.pixelColor(x, y) == QColor(220, 220, 220);
        return n;
    };
    EXPECT_LT(watermark(image), 40);

    // Five more lines of notes make the report five lines taller.
    plan.Set(RF_NOTES, plan.fields[RF_NOTES].text + QStringLiteral("\n1\n2\n3\n4\n5"));
    Show(plan);
    EXPECT_EQ(view.ScrollSize().height(), h + 5 * lh + 2 * (lh + 181));

    plan.Set(RF_DEMO_MODE, 1);
    Show(plan);
    EXPECT_GT(watermark(Paint()), 400);
    // Its 60 pixels are the font's cell (ascent and descent), not its em:
    // the capitals of "Demo" stand about 36 pixels high, not 44.
    const int capitals = QFontMetrics(view.Fonts().watermark).capHeight();
    EXPECT_GE(capitals, 32);
    EXPECT_LE(capitals, 40);

    // A damaged report shows as none: the bitmap, no scroll sizes.
    QFile file(g_strReportPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("VTQPv0.2.5");
    file.close();
    g_bReportChanged = true;
    Paint();
    EXPECT_EQ(g_strReportPath, QString());
    Paint();
    EXPECT_EQ(view.ScrollSize(), QSize(0, 0));
    EXPECT_FALSE(doc.IsLoaded());
    EXPECT_TRUE(prompter.Shown().empty());
}

TEST_F(View, OpenShowsThePickedReportOrNone) {
    ScriptedFileDialog files;
    const QString path = WriteReport(ButtFusionReport(), QStringLiteral("o.kjr"));
    g_nSearchPercent = 50;
    files.Answer(path);
    doc.OnFileOpen();
    ASSERT_EQ(files.Requests().size(), 1u);
    EXPECT_EQ(files.Requests()[0].filter, QStringLiteral("Kelvorn Joint Report (*.kjr)|*.kjr||"));
    EXPECT_EQ(files.Requests()[0].folder, ReportFolder());
    EXPECT_EQ(g_strReportPath, path);
    EXPECT_TRUE(g_bReportChanged);
    EXPECT_EQ(g_nSearchPercent, 100);
    Paint();
    EXPECT_TRUE(doc.IsLoaded());
    EXPECT_TRUE(CVtkDoc::CanAppendNotes() && CVtkView::CanSearchRange() && CVtkView::CanPrint());

    // Cancelled: the report shown before is closed all the same.
    doc.OnFileOpen();
    EXPECT_EQ(g_strReportPath, QString());
    EXPECT_TRUE(g_bReportChanged);
    EXPECT_FALSE(doc.IsLoaded());
    EXPECT_FALSE(CVtkDoc::CanAppendNotes() || CVtkView::CanSearchRange() || CVtkView::CanPrint());
}

TEST_F(View, AppendNotesRewritesTheReportWithTheNotesAdded) {
    ReportPlan plan = ButtFusionReport(60);
    plan.Set(RF_NOTES, QString());
    Show(plan);
    runner.Then<CAppendNotesDlg>([](CAppendNotesDlg& d) {
        EXPECT_EQ(d.GetDlgItemText(IDC_EXISTING_NOTES), QString());
        EXPECT_EQ(d.GetDlgItemText(IDC_NOTES_LEFT),
                  QStringLiteral("Once appended, notes cannot be changed or deleted.\n"
                                 "(You can add 200 characters)"));
        // 200 characters are taken as typed, the 201st is refused.
        auto* edit = qobject_cast<QPlainTextEdit*>(d.GetDlgItem(IDC_NEW_NOTES));
        ASSERT_NE(edit, nullptr);
        edit->insertPlainText(QString(200, QLatin1Char('x')));
        edit->insertPlainText(QStringLiteral("y"));
        EXPECT_EQ(d.GetDlgItemText(IDC_NEW_NOTES), QString(200, QLatin1Char('x')));
        d.SetDlgItemText(IDC_NEW_NOTES, QStringLiteral("  Bead re-cut."));
        d.OnEditChange(IDC_NEW_NOTES);
        EXPECT_TRUE(
            d.GetDlgItemText(IDC_NOTES_LEFT).endsWith(QStringLiteral("add 186 characters)")));
        d.OnOK();
    });
    doc.OnAppendNotes();
    ASSERT_EQ(prompter.Shown().size(), 1u);
    EXPECT_EQ(prompter.Shown()[0].caption, QStringLiteral("Notes"));
    EXPECT_EQ(prompter.Shown()[0].type & MB_TYPEMASK, MB_YESNOCANCEL);
    EXPECT_TRUE(g_bReportChanged);
    // The file is byte for byte the report as if downloaded with those notes.
    ReportPlan expected = plan;
    expected.Set(RF_NOTES, QStringLiteral("Bead re-cut."));
    const QString path = g_strReportPath;
    const QByteArray appended = ReadAll(path);
    EXPECT_EQ(appended, ReadAll(WriteReport(expected, QStringLiteral("e1.kjr"))));
    g_strReportPath = path;

    // 150 characters and 50 more make 203 with the separator; then the
    // notes are full.
    plan.Set(RF_NOTES, QString(150, QLatin1Char('a')));
    Show(plan);
    runner.Then<CAppendNotesDlg>([](CAppendNotesDlg& d) {
        EXPECT_EQ(d.TextLimit(IDC_NEW_NOTES), 50);
        d.SetDlgItemText(IDC_NEW_NOTES, QString(50, QLatin1Char('b')));
        d.OnOK();
    });
    doc.OnAppendNotes();
    expected.Set(RF_NOTES, QString(150, 'a') + QStringLiteral(" + ") + QString(50, 'b'));
    EXPECT_EQ(ReadAll(ReportFolder() + QStringLiteral("/v.kjr")),
              ReadAll(WriteReport(expected, QStringLiteral("e2.kjr"))));
    g_strReportPath = ReportFolder() + QStringLiteral("/v.kjr");
    g_bReportChanged = true;
    Paint();
    EXPECT_EQ(doc.NotesText().size(), 203);
    prompter.Clear();
    doc.OnAppendNotes();
    ASSERT_EQ(prompter.Shown().size(), 1u);
    EXPECT_EQ(prompter.Shown()[0].text, QStringLiteral("Notes area full."));
    EXPECT_EQ(runner.Run().size(), 2u);
    EXPECT_TRUE(runner.Failures().empty());
}

// Two copies of the program show one report (each double-click starts one);
// both append: neither copy's notes are lost.
TEST_F(View, AppendNotesFromTwoCopiesKeepsTheNotesOfBoth) {
    ReportPlan plan = ButtFusionReport(60);
    plan.Set(RF_NOTES, QStringLiteral("Start."));
    Show(plan);
    const QString path = g_strReportPath;
    CVtkDoc other;
    ASSERT_TRUE(other.LoadReport());
    runner.Then<CAppendNotesDlg>([](CAppendNotesDlg& d) {
        d.SetDlgItemText(IDC_NEW_NOTES, QStringLiteral("Second copy."));
        d.OnOK();
    });
    other.OnAppendNotes();
    // The first copy still holds the file as it was when it showed it.
    g_bReportChanged = false;
    ASSERT_EQ(doc.NotesText(), QStringLiteral("Start."));
    runner.Then<CAppendNotesDlg>([](CAppendNotesDlg& d) {
        d.SetDlgItemText(IDC_NEW_NOTES, QStringLiteral("First copy."));
        d.OnOK();
    });
    // The file changed: the dialog comes again over the current notes, with
    // what was typed still there.
    runner.Then<CAppendNotesDlg>([](CAppendNotesDlg& d) {
        EXPECT_EQ(d.GetDlgItemText(IDC_EXISTING_NOTES), QStringLiteral("Start. + Second copy."));
        EXPECT_EQ(d.GetDlgItemText(IDC_NEW_NOTES), QStringLiteral("First copy."));
        d.OnOK();
    });
    doc.OnAppendNotes();
    EXPECT_EQ(runner.Run().size(), 3u);
    EXPECT_TRUE(runner.Failures().empty());
    const QByteArray written = ReadAll(path);
    ReportPlan expected = plan;
    expected.Set(RF_NOTES, QStringLiteral("Start. + Second copy. + First copy."));
    EXPECT_EQ(written, ReadAll(WriteReport(expected, QStringLiteral("e3.kjr"))));
}

TEST_F(View, AppendNotesAsksBeforeEitherWayAndKeepsTheReportWhenTheWriteFails) {
    ReportPlan plan = ButtFusionReport(60);
    Show(plan);
    const QByteArray before = ReadAll(g_strReportPath);
    const QString notes = plan.fields[RF_NOTES].text;
    // No to appending keeps the dialog open; Cancel then asks to discard.
    runner.Then<CAppendNotesDlg>([this, notes](CAppendNotesDlg& d) {
        EXPECT_EQ(d.GetDlgItemText(IDC_EXISTING_NOTES), notes);
        d.SetDlgItemText(IDC_NEW_NOTES, QStringLiteral("late entry"));
        prompter.Answer(IDNO);
        d.OnOK();
        EXPECT_FALSE(d.IsEnded());
        prompter.Answer(IDCANCEL);
        d.OnCancel();
        EXPECT_FALSE(d.IsEnded());
        prompter.Answer(IDYES);
        d.OnCancel();
    });
    doc.OnAppendNotes();
    ASSERT_EQ(prompter.Shown().size(), 3u);
    EXPECT_EQ(prompter.Shown()[1].text,
              QStringLiteral("Are you sure you want to discard newly entered notes?"));
    EXPECT_EQ(ReadAll(g_strReportPath), before);

    // The card fills up while the report is written: the old report stays
    // whole and the operator is told.
    runner.Then<CAppendNotesDlg>([](CAppendNotesDlg& d) {
        d.SetDlgItemText(IDC_NEW_NOTES, QStringLiteral("late entry"));
        d.OnOK();
    });
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlim_t soft = limit.rlim_cur;
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = before.size() + 4;
    setrlimit(RLIMIT_FSIZE, &limit);
    doc.OnAppendNotes();
    limit.rlim_cur = soft;
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(prompter.Shown().back().text, QStringLiteral("Could not open file to append notes!"));
    EXPECT_EQ(ReadAll(g_strReportPath), before);
    EXPECT_EQ(doc.NotesText(), notes + QStringLiteral(" + late entry"));
    EXPECT_TRUE(runner.Failures().empty());
}

TEST_F(View, SearchRangeAlwaysOffersTheWholeRangeAndReloads) {
    Show(ButtFusionReport());
    auto choose = [this](int index, bool ok) {
        runner.Then<CSearchRangeDlg>([index, ok](CSearchRangeDlg& d) {
            EXPECT_EQ(d.GetCount(IDC_SEARCH_RANGE_LIST), 20);
            EXPECT_EQ(d.GetLBText(IDC_SEARCH_RANGE_LIST, 0), QStringLiteral("5%"));
            EXPECT_EQ(d.GetCurSel(IDC_SEARCH_RANGE_LIST), 19);
            d.SetCurSel(IDC_SEARCH_RANGE_LIST, index);
            ok ? d.OnOK() : d.OnCancel();
        });
        view.OnSearchRange();
    };
    choose(9, true);
    EXPECT_EQ(g_nSearchPercent, 50);
    EXPECT_TRUE(g_bReportChanged);
    Paint();
    EXPECT_FALSE(g_bReportChanged);
    choose(-1, true); // nothing chosen
    EXPECT_EQ(g_nSearchPercent, 0);
    choose(3, false);
    EXPECT_EQ(g_nSearchPercent, 0);
    EXPECT_EQ(runner.Run(), (std::vector<int>{175, 175, 175}));
}
