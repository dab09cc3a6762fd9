#include "framework/Dialog.h"
#include "framework/Fonts.h"
#include "framework/Modal.h"
#include "framework/SetupPageDlg.h"
#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

namespace {
const DlgTemplate kTemplate{
    900,
    "Test Page",
    10,
    20,
    100,
    80,
    {
        {IDC_STATIC, Ctl::Group, "Units", 2, 2, 96, 30},
        {10, Ctl::Radio, "a", 4, 10, 20, 10, Style::Group},
        {11, Ctl::Radio, "b", 26, 10, 20, 10},
        {20, Ctl::Radio, "x", 4, 40, 20, 10, Style::Group},
        {21, Ctl::Radio, "y", 26, 40, 20, 10},
        {30, Ctl::Edit, "", 4, 52, 30, 12, 0, nullptr, 3},
        {31, Ctl::Edit, "", 40, 52, 30, 12, Style::Number},
        {32, Ctl::Edit, "", 4, 66, 60, 12, Style::Multiline, nullptr, 5},
        {33, Ctl::Edit, "", 4, 20, 40, 16, Style::Multiline | Style::ReadOnly},
        {34, Ctl::Edit, "", 50, 20, 40, 12, Style::ReadOnly},
        {40, Ctl::Static, "tap me", 70, 66, 20, 10, Style::Notify},
        {41, Ctl::Static, "not me", 70, 40, 20, 10},
        {50, Ctl::ComboList, "", 50, 10, 40, 60, 0, "one\ntwo\nthree"},
        {1, Ctl::DefButton, "OK", 4, 70, 20, 8},
        {60, Ctl::Button, "Hidden", 30, 70, 20, 8, Style::Hidden | Style::Disabled},
    }};

class TestPage : public CSetupPageDlg {
public:
    TestPage() : CSetupPageDlg(kTemplate, nullptr) {}
    std::vector<QString> events;
    bool endInInit = false;
    bool OnInitDialog() override {
        events.push_back(QStringLiteral("init"));
        if (endInInit)
            EndDialog(7);
        return true;
    }
    void OnCommand(int id) override {
        events.push_back(QStringLiteral("cmd %1").arg(id));
        CSetupPageDlg::OnCommand(id);
    }
    void OnEditChange(int id) override { events.push_back(QStringLiteral("edit %1").arg(id)); }
    void OnSelChange(int id) override { events.push_back(QStringLiteral("sel %1").arg(id)); }
    void OnStaticClicked(int id) override { events.push_back(QStringLiteral("tap %1").arg(id)); }
};

// Types as the operator does, one key at a time; "\b" is the backspace key.
void Type(QWidget* edit, const QString& keys) {
    for (const QChar c : keys) {
        const int key = c == QLatin1Char('\n')   ? int(Qt::Key_Return)
                        : c == QLatin1Char('\b') ? int(Qt::Key_Backspace)
                                                 : c.toUpper().unicode();
        const QString text = c == QLatin1Char('\b') ? QString() : QString(c);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(edit, &press);
    }
}

class FullScreen : public CDialog {
public:
    FullScreen() : CDialog(kTemplate, nullptr) {}
};
} // namespace

TEST(Dialog, TemplateSizesAndDialogUnits) {
    EXPECT_EQ(DluToPixelX(134), 201);
    EXPECT_EQ(DluToPixelY(135), 219);
    EXPECT_EQ(DluToPixelY(8), 13);
    TestPage page;
    page.Create();
    EXPECT_EQ(page.size(), QSize(150, 130));
    EXPECT_EQ(page.TemplateRect().topLeft(), QPoint(15, 33));
    EXPECT_EQ(page.GetDlgItem(30)->geometry(), QRect(6, 85, 45, 20));
    // The platform's own dialog class fills the handheld's screen.
    FullScreen full;
    full.Create();
    EXPECT_EQ(full.size(), QSize(240, 268));
}

TEST(Dialog, ControlsByIdAndTheirNotifications) {
    TestPage page;
    page.Create();
    EXPECT_EQ(page.events, std::vector<QString>{QStringLiteral("init")});
    page.events.clear();

    // Two radio groups, each exclusive on its own.
    page.ClickDlgItem(10);
    page.ClickDlgItem(21);
    EXPECT_EQ(page.GetCheckedRadioButton(10, 11), 10);
    EXPECT_EQ(page.GetCheckedRadioButton(20, 21), 21);
    page.ClickDlgItem(11);
    EXPECT_EQ(page.GetCheckedRadioButton(10, 11), 11);
    EXPECT_EQ(page.GetCheckedRadioButton(20, 21), 21);
    page.CheckRadioButton(20, 21, 99); // an index outside the group clears it
    EXPECT_EQ(page.GetCheckedRadioButton(20, 21), 0);

    // Number edits take digits only.
    auto* number = qobject_cast<QLineEdit*>(page.GetDlgItem(31));
    number->insert(QStringLiteral("-4x"));
    EXPECT_EQ(page.GetDlgItemText(31), QString());
    number->insert(QStringLiteral("42"));
    bool ok = false;
    EXPECT_EQ(page.GetDlgItemInt(31, &ok), 42);
    EXPECT_TRUE(ok);

    // Lists report only the operator's choices.
    EXPECT_EQ(page.GetCurSel(50), -1);
    page.SetCurSel(50, 2);
    EXPECT_EQ(page.GetDlgItemText(50), QStringLiteral("three"));
    page.SetCurSel(50, 3);
    EXPECT_EQ(page.GetCurSel(50), -1);
    EXPECT_EQ(page.AddString(50, QStringLiteral("four")), 3);
    EXPECT_EQ(page.GetCount(50), 4);

    EXPECT_FALSE(page.IsDlgItemVisible(60));
    EXPECT_FALSE(page.IsDlgItemEnabled(60));
    page.ClickDlgItem(60); // a disabled button cannot be pressed
    EXPECT_EQ(page.GetDlgItem(12345), nullptr);
    page.SetDlgItemText(12345, QStringLiteral("nothing happens"));

    const std::vector<QString> expected = {"cmd 10", "cmd 21", "cmd 11", "edit 31"};
    EXPECT_EQ(page.events, expected);
}

TEST(Dialog, LimitsStopTypingButNeverCutTheProgramsText) {
    TestPage page;
    page.Create();
    auto* line = qobject_cast<QLineEdit*>(page.GetDlgItem(30));       // limit 3
    auto* multi = qobject_cast<QPlainTextEdit*>(page.GetDlgItem(32)); // limit 5

    // Typing stops at the limit; a paste that would pass it is refused whole.
    Type(line, QStringLiteral("abcd"));
    EXPECT_EQ(page.GetDlgItemText(30), QStringLiteral("abc"));
    Type(multi, QStringLiteral("ab\ncde"));
    EXPECT_EQ(page.GetDlgItemText(32), QStringLiteral("ab\ncd"));
    line->setText(QString());
    line->insert(QStringLiteral("wxyz"));
    EXPECT_EQ(page.GetDlgItemText(30), QString());
    multi->selectAll();
    multi->insertPlainText(QStringLiteral("line\nlonger"));
    EXPECT_EQ(page.GetDlgItemText(32), QStringLiteral("ab\ncd"));

    // Text the program sets stays whole, however long.
    page.events.clear();
    page.SetDlgItemText(30, QStringLiteral("12345"));
    page.SetDlgItemText(32, QStringLiteral("0123456789"));
    EXPECT_EQ(page.GetDlgItemText(30), QStringLiteral("12345"));
    EXPECT_EQ(page.GetDlgItemText(32), QStringLiteral("0123456789"));

    // Typing in the middle of it is refused without losing a character, and
    // the cursor stays where it was; the operator may still shorten it.
    line->setCursorPosition(2);
    Type(line, QStringLiteral("x"));
    EXPECT_EQ(page.GetDlgItemText(30), QStringLiteral("12345"));
    EXPECT_EQ(line->cursorPosition(), 2);
    QTextCursor cursor = multi->textCursor();
    cursor.setPosition(4);
    multi->setTextCursor(cursor);
    Type(multi, QStringLiteral("x"));
    EXPECT_EQ(page.GetDlgItemText(32), QStringLiteral("0123456789"));
    EXPECT_EQ(multi->textCursor().position(), 4);
    Type(multi, QStringLiteral("\b"));
    EXPECT_EQ(page.GetDlgItemText(32), QStringLiteral("012456789"));
    Type(multi, QStringLiteral("x"));
    EXPECT_EQ(page.GetDlgItemText(32), QStringLiteral("012456789"));
    line->end(false);
    Type(line, QStringLiteral("\b\b\bz"));
    EXPECT_EQ(page.GetDlgItemText(30), QStringLiteral("12z"));

    // Refused keys change nothing, so they tell the dialog nothing.
    const std::vector<QString> expected = {"edit 30", "edit 32", "edit 32", "edit 30",
                                           "edit 30", "edit 30", "edit 30"};
    EXPECT_EQ(page.events, expected);
}

TEST(Dialog, ReadOnlyEditsDoNotLookLikeInputBoxes) {
    TestPage page;
    page.Create();
    auto inside = [&](int id) {
        QWidget* edit = page.GetDlgItem(id);
        return edit->grab().toImage().pixelColor(edit->width() / 2, edit->height() / 2);
    };
    const QColor window = page.palette().color(QPalette::Window);
    EXPECT_EQ(inside(33), window);
    EXPECT_EQ(inside(34), window);
    EXPECT_NE(inside(32), window);
    EXPECT_NE(inside(31), window);
    page.SetReadOnly(32, true);
    page.SetReadOnly(33, false);
    page.SetReadOnly(34, false);
    EXPECT_EQ(inside(32), window);
    EXPECT_NE(inside(33), window);
    EXPECT_NE(inside(34), window);
}

TEST(Dialog, TimersTickThroughOnTimerAndStopWithTheDialog) {
    TestPage page;
    page.Create();
    EXPECT_EQ(page.TimerInterval(1), 0);
    page.SetTimer(1, 100);
    EXPECT_EQ(page.TimerInterval(1), 100);
    page.SetTimer(1, 300);
    EXPECT_EQ(page.TimerInterval(1), 300);
    page.KillTimer(1);
    EXPECT_EQ(page.TimerInterval(1), 0);
    page.SetTimer(2, 200);
    page.EndDialog(IDOK);
    EXPECT_EQ(page.TimerInterval(2), 0);
}

TEST(Dialog, ScriptedRunnerDrivesAndReportsDialogs) {
    ScriptedRunner runner;
    runner.Then<TestPage>([](TestPage& page) {
        EXPECT_EQ(page.events.front(), QStringLiteral("init"));
        page.ClickDlgItem(IDOK);
    });
    runner.Then([](CDialog&) {}); // leaves the dialog open
    TestPage first;
    EXPECT_EQ(RunModal(first), IDOK);
    TestPage second;
    EXPECT_EQ(RunModal(second), IDCANCEL);
    FullScreen third; // no handler queued
    EXPECT_EQ(RunModal(third), IDCANCEL);
    EXPECT_EQ(runner.Run(), (std::vector<int>{900, 900, 900}));
    EXPECT_EQ(runner.Failures().size(), 2u);

    // A dialog that ends itself while initialising is never shown.
    TestPage quick;
    quick.endInInit = true;
    EXPECT_EQ(RunModal(quick), 7);
    EXPECT_EQ(runner.Run().size(), 3u);
}

TEST(MessageBoxTest, ScriptedAnswersAndRecords) {
    ScriptedPrompter prompter;
    prompter.Answer(IDNO);
    EXPECT_EQ(MessageBox(QStringLiteral("Stop?"), QStringLiteral("Stop Logging?"),
                         MB_YESNO | MB_ICONQUESTION),
              IDNO);
    EXPECT_EQ(MessageBox(QStringLiteral("Saved.")), IDOK);
    EXPECT_EQ(MessageBox(QStringLiteral("Again?"), QString(), MB_YESNOCANCEL), IDYES);
    ASSERT_EQ(prompter.Shown().size(), 3u);
    EXPECT_EQ(prompter.Shown()[0].caption, QStringLiteral("Stop Logging?"));
    EXPECT_EQ(prompter.Shown()[0].type, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(prompter.Shown()[1].caption, QStringLiteral("Kelvorn VTQ-PPC"));
}

TEST(Fonts, TahomaAndSystemResolve) {
    LoadProgramFonts();
    // Either the real faces or the fallback: never an unrelated default.
    const QString tahoma = QFontInfo(QFont(QStringLiteral("Tahoma"))).family();
    const QString system = QFontInfo(QFont(QStringLiteral("System"))).family();
    EXPECT_TRUE(tahoma == QStringLiteral("Tahoma") || tahoma == QStringLiteral("DejaVu Sans"))
        << tahoma.toStdString();
    EXPECT_TRUE(system == QStringLiteral("System") || system == QStringLiteral("Tahoma") ||
                system == QStringLiteral("DejaVu Sans"))
        << system.toStdString();
}
