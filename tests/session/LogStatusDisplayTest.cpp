// What the Log/Status window shows, as drawn: every reading whole inside its
// control, nothing covering anything the operator must see.
#include "SessionFixture.h"

#include "framework/Fonts.h"
#include "setup/JointRecord.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>

namespace {
// Every line of the label, in the font it was last drawn in, inside its
// control: each line's width, and the lines down to the last baseline.
void ExpectWhole(CDialog& dlg, int id) {
    auto* label = qobject_cast<QLabel*>(dlg.GetDlgItem(id));
    ASSERT_NE(label, nullptr);
    const QFontMetrics metrics(label->font());
    const QRect box = label->contentsRect();
    const QStringList lines = label->text().split(QLatin1Char('\n'));
    for (const QString& line : lines)
        EXPECT_LE(std::max(metrics.horizontalAdvance(line), metrics.boundingRect(line).width()),
                  box.width())
            << id << ": \"" << qPrintable(line) << "\" at " << label->font().pixelSize() << " px";
    EXPECT_LE((lines.size() - 1) * metrics.lineSpacing() + metrics.ascent(), box.height())
        << id << ": " << qPrintable(label->text());
}

// Where the widest line of a label's text starts and ends, in the dialog.
int TextLeft(CDialog& dlg, int id) {
    auto* label = qobject_cast<QLabel*>(dlg.GetDlgItem(id));
    const QFontMetrics metrics(label->font());
    int widest = 0;
    for (const QString& line : label->text().split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    const QRect box = label->contentsRect().translated(label->pos());
    return label->alignment() & Qt::AlignRight ? box.right() + 1 - widest : box.left();
}
int TextRight(CDialog& dlg, int id) {
    auto* label = qobject_cast<QLabel*>(dlg.GetDlgItem(id));
    const QFontMetrics metrics(label->font());
    int widest = 0;
    for (const QString& line : label->text().split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return TextLeft(dlg, id) + widest;
}
} // namespace

TEST_F(SessionTest, ReadingsFitTheirControlsInEveryUnit) {
    LoadProgramFonts();
    // A joint whose gauge pressures are its interfacial pressures: one square
    // inch of pipe and of piston, no drag.
    WriteLogText(LogData::kPistonArea, QStringLiteral("1"));
    WriteLogText(LogData::kPipeAreaInch, QStringLiteral("1"));
    WriteLogText(LogData::kDragPressure, QStringLiteral("0"));
    // The widest recommended pressures seen: about 10300 psi in each unit.
    const char* recommended[] = {"10299", "710.3", "725.3", "71.03"};
    const char* recShown[] = {"10299", "710.3", "725.3", "71.030"};
    for (int unit = 0; unit < 4; ++unit) {
        SCOPED_TRACE(unit);
        WriteSettingInt(kKeySettings, QStringLiteral("Press Unit Inx"), unit);
        // The widest temperatures: 999 °F plus 199, 1 °F in °C minus 199.
        const bool celsius = unit % 2 == 1;
        WriteSettingInt(kKeySettings, QStringLiteral("Temp Unit Inx"), celsius ? 1 : 0);
        WriteSettingInt(kKeySettings, QStringLiteral("Temp Offset"), celsius ? -199 : 199);
        for (const QString* name :
             {&LogData::kHeatIfp, &LogData::kSoakIfp, &LogData::kFuseIfp, &LogData::kCoolIfp})
            WriteLogText(*name, QString::fromLatin1(recommended[unit]));
        Open();
        dlg->show();
        ConnectNow();
        Tick();
        Command();

        // An everyday reading keeps the large font.
        Status everyday;
        Exchange(everyday.Line());
        dlg->grab();
        EXPECT_EQ(qobject_cast<QLabel*>(dlg->GetDlgItem(IDC_PRESS_VALUE))->font().pixelSize(), 25);
        EXPECT_EQ(qobject_cast<QLabel*>(dlg->GetDlgItem(IDC_TEMP_VALUE))->font().pixelSize(), 25);

        // The widest readings: 7776 psi (7777 is " ERR", 5 is " -0-").
        Status s;
        s.state = '1';
        s.stopwatch = "9:59:59";
        for (int psi : {7776, 7777, 5}) {
            for (int temp : {celsius ? 1 : 999, 777}) {
                s.psi = psi;
                s.temp = temp;
                Exchange(s.Line());
                dlg->grab();
                for (int id : {IDC_PRESS_VALUE, IDC_TEMP_VALUE, IDC_STOPWATCH, IDC_REC_VALUES,
                               IDC_REC_LABELS})
                    ExpectWhole(*dlg, id);
            }
        }
        EXPECT_EQ(Text(IDC_TEMP_VALUE), QStringLiteral("ERR"));
        EXPECT_EQ(Text(IDC_PRESS_VALUE), QStringLiteral(" -0-"));
        EXPECT_TRUE(Text(IDC_REC_VALUES).startsWith(QString::fromLatin1(recShown[unit])));
        // The longest value stands apart from its label.
        EXPECT_GE(TextLeft(*dlg, IDC_REC_VALUES) - TextRight(*dlg, IDC_REC_LABELS), 2);
        dlg.reset();
    }
}

TEST_F(SessionTest, RecommendedPressuresCoverTheTemperatureFrameWhileLogging) {
    LoadProgramFonts();
    dlg->show();
    ConnectNow();
    Tick();
    Command();
    Status logging;
    logging.state = '1';
    Exchange(logging.Line());
    ASSERT_TRUE(dlg->IsDlgItemVisible(IDC_REC_FRAME));
    // Above the panel's frame line, where the temperature frame has its
    // caption, nothing but the window's background shows.
    const QImage shot = dlg->grab().toImage();
    const QRect panel = dlg->GetDlgItem(IDC_REC_FRAME)->geometry();
    const QRgb background = dlg->palette().color(QPalette::Window).rgb();
    int caption = 0;
    for (int y = panel.top(); y < panel.top() + 5; ++y)
        for (int x = panel.left(); x <= panel.right(); ++x)
            caption += shot.pixel(x, y) != background;
    EXPECT_EQ(caption, 0);
}

TEST_F(SessionTest, DemoBannerLeavesTheTemperatureOffsetInSight) {
    LoadProgramFonts();
    WriteSettingInt(kKeySettings, QStringLiteral("Demo Mode"), 1);
    for (int offset : {0, -199}) {
        SCOPED_TRACE(offset);
        WriteSettingInt(kKeySettings, QStringLiteral("Temp Offset"), offset);
        Open();
        dlg->show();
        Tick();
        ASSERT_TRUE(dlg->IsDlgItemVisible(IDC_DEMO_BANNER));
        const QImage shot = dlg->grab().toImage();

        // The banner lies inside the window, its words centred on what shows.
        const QRect placed = dlg->GetDlgItem(IDC_DEMO_BANNER)->geometry();
        const QRect banner = placed.intersected(dlg->rect());
        EXPECT_EQ(banner, placed);
        int first = shot.width();
        int last = -1;
        for (int y = banner.top(); y <= banner.bottom(); ++y)
            for (int x = banner.left(); x <= banner.right(); ++x)
                if (qGray(shot.pixel(x, y)) > 200) { // the white words on orange
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
        ASSERT_LE(first, last);
        EXPECT_NEAR((first + last) / 2.0, (banner.left() + banner.right()) / 2.0, 2.0);

        // The offset text is drawn where the banner is not.
        auto* label = qobject_cast<QLabel*>(dlg->GetDlgItem(IDC_TEMP_OFFSET_TEXT));
        EXPECT_TRUE(dlg->IsDlgItemVisible(IDC_TEMP_OFFSET_TEXT));
        EXPECT_EQ(label->text().isEmpty(), offset == 0);
        if (offset == 0)
            continue;
        const QRect text(label->pos() + label->contentsRect().topLeft(),
                         QSize(QFontMetrics(label->font()).horizontalAdvance(label->text()),
                               label->contentsRect().height()));
        EXPECT_FALSE(text.intersects(banner));
        int ink = 0;
        for (int y = text.top(); y <= text.bottom(); ++y)
            for (int x = text.left(); x <= text.right(); ++x)
                ink += qGray(shot.pixel(x, y)) < 100;
        EXPECT_GT(ink, 20);
    }
}
