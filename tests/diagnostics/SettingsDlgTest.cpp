#include "diagnostics/SettingsDlg.h"
#include "framework/Modal.h"
#include "framework/SettingsStore.h"
#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QStyle>
#include <climits>
#include <gtest/gtest.h>

namespace {
// Counts the calibration entry sequences the fourth tap starts.
class WatchedSettingsDlg : public CSettingsDlg {
public:
    WatchedSettingsDlg() : CSettingsDlg(nullptr) {}
    int entries = 0;

protected:
    void RunCalibrationEntry() override { ++entries; }
};

int Setting(const char* name) {
    return ReadSettingInt(kKeySettings, QString::fromLatin1(name), -999);
}
} // namespace

TEST(SettingsDlg, OpensWithDefaultsOnAnEmptyStore) {
    CSettingsDlg dlg(nullptr);
    dlg.Create();
    EXPECT_EQ(dlg.GetCount(IDC_PORT_LIST), 20);
    EXPECT_EQ(dlg.GetCurSel(IDC_PORT_LIST), 5);
    EXPECT_EQ(dlg.GetDlgItemText(IDC_PORT_LIST), QStringLiteral("COM6"));
    EXPECT_EQ(dlg.GetCheckedRadioButton(IDC_PRESS_PSI, IDC_PRESS_MPA), IDC_PRESS_PSI);
    EXPECT_EQ(dlg.GetCheckedRadioButton(IDC_TEMP_F, IDC_TEMP_C), IDC_TEMP_F);
    EXPECT_FALSE(dlg.IsDlgButtonChecked(IDC_DEMO_MODE));
    EXPECT_EQ(dlg.GetDlgItemText(IDC_TEMP_OFFSET), QStringLiteral("0"));
    EXPECT_EQ(dlg.TimerInterval(1), 100);
    // Opening stores nothing.
    EXPECT_EQ(Setting("COM Port"), -999);
}

TEST(SettingsDlg, StoredIntegersAtTheLimitsOpenAsTheDefaults) {
    for (const int extreme : {INT_MAX, INT_MIN}) {
        for (const char* name :
             {"Press Unit Inx", "Temp Unit Inx", "Demo Mode", "COM Port", "Temp Offset"})
            WriteSettingInt(kKeySettings, QString::fromLatin1(name), extreme);
        CSettingsDlg dlg(nullptr);
        dlg.Create();
        EXPECT_EQ(dlg.GetCheckedRadioButton(IDC_PRESS_PSI, IDC_PRESS_MPA), IDC_PRESS_PSI);
        EXPECT_EQ(dlg.GetCheckedRadioButton(IDC_TEMP_F, IDC_TEMP_C), IDC_TEMP_F);
        EXPECT_EQ(dlg.GetDlgItemText(IDC_TEMP_OFFSET), QStringLiteral("0"));
    }
}

TEST(SettingsDlg, OpensOverTheStoredValuesAndOkStoresEveryChoice) {
    // Every setting away from its default, so that a value read under a
    // wrong name would show the default instead.
    WriteSettingInt(kKeySettings, QStringLiteral("Press Unit Inx"), 2);
    WriteSettingInt(kKeySettings, QStringLiteral("Temp Unit Inx"), 1);
    WriteSettingInt(kKeySettings, QStringLiteral("Demo Mode"), 1);
    WriteSettingInt(kKeySettings, QStringLiteral("COM Port"), 11);
    WriteSettingInt(kKeySettings, QStringLiteral("Temp Offset"), -7);
    {
        CSettingsDlg dlg(nullptr);
        dlg.Create();
        EXPECT_EQ(dlg.GetCheckedRadioButton(IDC_PRESS_PSI, IDC_PRESS_MPA), IDC_PRESS_KGCM2);
        EXPECT_EQ(dlg.GetCheckedRadioButton(IDC_TEMP_F, IDC_TEMP_C), IDC_TEMP_C);
        EXPECT_TRUE(dlg.IsDlgButtonChecked(IDC_DEMO_MODE));
        EXPECT_EQ(dlg.GetDlgItemText(IDC_PORT_LIST), QStringLiteral("COM12"));
        EXPECT_EQ(dlg.GetDlgItemText(IDC_TEMP_OFFSET), QStringLiteral("-7"));
        // Cancel stores nothing.
        dlg.SetCurSel(IDC_PORT_LIST, 0);
        dlg.ClickDlgItem(IDC_PRESS_MPA);
        dlg.ClickDlgItem(IDC_TEMP_F);
        dlg.ClickDlgItem(IDC_DEMO_MODE);
        dlg.SetDlgItemText(IDC_TEMP_OFFSET, QStringLiteral("12"));
        dlg.ClickDlgItem(IDCANCEL);
        EXPECT_EQ(dlg.Result(), IDCANCEL);
    }
    EXPECT_EQ(Setting("Press Unit Inx"), 2);
    EXPECT_EQ(Setting("COM Port"), 11);
    EXPECT_EQ(Setting("Temp Offset"), -7);

    CSettingsDlg dlg(nullptr);
    dlg.Create();
    dlg.SetCurSel(IDC_PORT_LIST, 0);
    dlg.ClickDlgItem(IDC_PRESS_MPA);
    dlg.ClickDlgItem(IDC_TEMP_F);
    dlg.ClickDlgItem(IDC_DEMO_MODE);
    dlg.SetDlgItemText(IDC_TEMP_OFFSET, QStringLiteral(" 12 "));
    dlg.ClickDlgItem(IDOK);
    EXPECT_EQ(dlg.Result(), IDOK);
    EXPECT_EQ(Setting("COM Port"), 0);
    EXPECT_EQ(Setting("Press Unit Inx"), 3);
    EXPECT_EQ(Setting("Temp Unit Inx"), 0);
    EXPECT_EQ(Setting("Demo Mode"), 0);
    EXPECT_EQ(Setting("Temp Offset"), 12);
}

TEST(SettingsDlg, RefusesAnOffsetThatIsNotAWholeNumberInRange) {
    // Offsets of 200 or more, or -200 or less, are refused as a non-number
    // is: a message, the dialog stays open and nothing at all is stored.
    for (const char* typed :
         {"", "abc", "1.5", "12x", "- 3", "99999999999", "200", "-200", "100000"}) {
        ScriptedPrompter prompter;
        WriteSettingInt(kKeySettings, QStringLiteral("Temp Unit Inx"), 0);
        WriteSettingInt(kKeySettings, QStringLiteral("Temp Offset"), 3);
        WriteSettingInt(kKeySettings, QStringLiteral("COM Port"), 5);
        CSettingsDlg dlg(nullptr);
        dlg.Create();
        dlg.ClickDlgItem(IDC_TEMP_C);
        dlg.SetCurSel(IDC_PORT_LIST, 1);
        dlg.SetDlgItemText(IDC_TEMP_OFFSET, QString::fromLatin1(typed));
        dlg.ClickDlgItem(IDOK);
        EXPECT_FALSE(dlg.IsEnded()) << typed;
        ASSERT_EQ(prompter.Shown().size(), 1u) << typed;
        EXPECT_TRUE(prompter.Shown()[0].text.contains(QStringLiteral("whole number")));
        EXPECT_TRUE(prompter.Shown()[0].text.contains(QStringLiteral("-199 to 199")));
        EXPECT_EQ(Setting("Temp Unit Inx"), 0) << typed;
        EXPECT_EQ(Setting("Temp Offset"), 3) << typed;
        EXPECT_EQ(Setting("COM Port"), 5) << typed;
        // The operator mends the offset and OK goes through.
        dlg.SetDlgItemText(IDC_TEMP_OFFSET, QStringLiteral("4"));
        dlg.ClickDlgItem(IDOK);
        EXPECT_TRUE(dlg.IsEnded());
        EXPECT_EQ(Setting("Temp Offset"), 4);
    }
    // The limits themselves are stored.
    for (const int offset : {199, -199}) {
        CSettingsDlg dlg(nullptr);
        dlg.Create();
        dlg.SetDlgItemInt(IDC_TEMP_OFFSET, offset);
        dlg.ClickDlgItem(IDOK);
        EXPECT_TRUE(dlg.IsEnded());
        EXPECT_EQ(Setting("Temp Offset"), offset);
    }
}

TEST(SettingsDlg, EachPressureUnitLabelSitsByItsOwnButton) {
    CSettingsDlg dlg(nullptr);
    dlg.Create();
    // What an operator sees of a button: the columns, in the dialog, where
    // its drawn circle and its label lie.
    struct Drawn {
        int circleLeft, circleRight, labelLeft, labelRight;
    };
    auto drawn = [&](int id) {
        QWidget* radio = dlg.GetDlgItem(id);
        const QImage image = radio->grab().toImage();
        const QColor background = radio->palette().color(QPalette::Window);
        std::vector<std::pair<int, int>> runs; // of columns with anything drawn
        for (int x = 0; x < image.width(); ++x) {
            bool ink = false;
            for (int y = 0; y < image.height() && !ink; ++y)
                ink = image.pixelColor(x, y) != background;
            if (ink && !runs.empty() && runs.back().second == x - 1)
                runs.back().second = x;
            else if (ink)
                runs.emplace_back(x, x);
        }
        if (runs.size() < 2) {
            ADD_FAILURE() << id << ": no circle and label";
            return Drawn{};
        }
        EXPECT_LT(runs.back().second, image.width() - 1) << id << ": label cut off";
        const int x = radio->x();
        return Drawn{x + runs.front().first, x + runs.front().second, x + runs[1].first,
                     x + runs.back().second};
    };
    const int frameLine = DluToPixelX(4 + 126) - 1;
    for (int id = IDC_PRESS_PSI; id <= IDC_PRESS_MPA; ++id) {
        const Drawn button = drawn(id);
        const int ownBlank = button.labelLeft - button.circleRight - 1;
        // The next circle is clearly further from this label than its own
        // circle is; the last label keeps clear of the frame.
        if (id < IDC_PRESS_MPA)
            EXPECT_GE(drawn(id + 1).circleLeft - button.labelRight - 1, 2 * ownBlank) << id;
        else
            EXPECT_GE(frameLine - button.labelRight - 1, ownBlank) << id;
    }
}

TEST(SettingsDlg, FourTapsWithinThreeSecondsStartTheEntrySequence) {
    WatchedSettingsDlg dlg;
    dlg.Create();
    auto tap = [&] { dlg.OnStaticClicked(IDC_PORT_LABEL); };
    auto ticks = [&](int n) {
        for (int i = 0; i < n; ++i)
            dlg.OnTimer(1);
    };

    // Three taps, a pause of more than three seconds, one tap: nothing.
    tap();
    tap();
    tap();
    ticks(31);
    tap();
    EXPECT_EQ(dlg.entries, 0);
    EXPECT_EQ(dlg.TapCount(), 1);

    // That tap began a new count: three more in time are the fourth.
    ticks(20);
    tap();
    tap();
    tap();
    EXPECT_EQ(dlg.entries, 1);
    EXPECT_EQ(dlg.TapCount(), 0);

    // Four taps spread over 29 ticks still count; taps on other labels do not.
    tap();
    ticks(10);
    dlg.OnStaticClicked(-1);
    tap();
    ticks(10);
    tap();
    ticks(9);
    tap();
    EXPECT_EQ(dlg.entries, 2);
    // The dialog is still open, its edits as they were.
    EXPECT_FALSE(dlg.IsEnded());
    EXPECT_EQ(dlg.GetDlgItemText(IDC_TEMP_OFFSET), QStringLiteral("0"));
}

TEST(SettingsDlg, OnlyThePortLabelReportsTaps) {
    WatchedSettingsDlg dlg;
    dlg.Create();
    QWidget* port = dlg.GetDlgItem(IDC_PORT_LABEL);
    ASSERT_NE(port, nullptr);
    for (int i = 0; i < 4; ++i) {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), QPointF(2, 2),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(port, &press);
        QCoreApplication::sendEvent(port, &release);
    }
    EXPECT_EQ(dlg.entries, 1);
}
