// The probe Diagnostics dialog with the test playing the Vantrek on a
// pseudo-terminal, and against the simulator's "Pw05" replies.

#include "diagnostics/DiagnosticsDlg.h"
#include "diagnostics/Resource.h"
#include "framework/SettingsStore.h"
#include "link/PtyVantrek.h"
#include "platform/MessageBox.h"
#include "support/Simulator.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>
#include <memory>

namespace {
// A status line: button, pressure, offsets, temperature, battery, identity.
QByteArray StatusLine(const char* pressOffset = "11900", const char* tempOffset = "08100",
                      const char* ident = "KVTQ-0042 v2.1.4") {
    return QByteArray("Pw05LPp 189c") + pressOffset + "t431C" + tempOffset + "b087i" + ident;
}

class DiagnosticsDlgTest : public ::testing::Test {
protected:
    PtyVantrek vantrek{5};
    ScriptedPrompter prompter;
    std::unique_ptr<CDiagnosticsDlg> dlg;

    void SetUp() override {
        ASSERT_TRUE(vantrek.Ok());
        WriteSettingInt(kKeySettings, QStringLiteral("COM Port"), 5);
        dlg = std::make_unique<CDiagnosticsDlg>(nullptr);
        dlg->Create();
        ASSERT_TRUE(dlg->LinkIsOpen());
    }
    // Sends `bytes`, ticks once, and returns what the dialog wrote.
    QByteArray Tick(const QByteArray& bytes = QByteArray()) {
        if (!bytes.isEmpty()) {
            EXPECT_TRUE(vantrek.Deliver(bytes));
        }
        dlg->OnTimer(1);
        return vantrek.Written();
    }
    QString Text(int id) const { return dlg->GetDlgItemText(id); }
};
} // namespace

TEST_F(DiagnosticsDlgTest, ShowsTheStatusFieldsAndTakesTheOffsetsOnce) {
    EXPECT_EQ(dlg->TimerInterval(1), 200);
    EXPECT_EQ(Text(IDC_DIAG_STATE), QStringLiteral("Connecting..."));
    EXPECT_EQ(Tick(), QByteArray("Wp05\r\n"));
    // Exactly 27 characters: accepted, with no battery value.
    EXPECT_EQ(Tick("Pw05LRp  12c00000t400C00000\r\n"), QByteArray("Wp05\r\n"));
    EXPECT_EQ(Text(IDC_DIAG_BATTERY), QStringLiteral("Bat: ??"));
    EXPECT_EQ(Text(IDC_DIAG_BUTTON), QStringLiteral("Button Released"));
    EXPECT_EQ(Text(IDC_DIAG_PRESSURE), QStringLiteral("  12 psi"));
    EXPECT_EQ(Text(IDC_DIAG_TEMPERATURE), QStringLiteral("400 °F"));
    EXPECT_EQ(Text(IDC_DIAG_PRESS_OFFSET_TEXT), QStringLiteral("Offset: 00000"));
    EXPECT_EQ(Text(IDC_DIAG_TEMP_OFFSET_TEXT), QStringLiteral("Offset: 00000"));
    // Offsets of 0 stand for the defaults.
    EXPECT_EQ(Text(IDC_DIAG_PRESS_OFFSET), QStringLiteral("11801"));
    EXPECT_EQ(Text(IDC_DIAG_TEMP_OFFSET), QStringLiteral("8000"));
    EXPECT_EQ(Text(IDC_DIAG_STATE), QString());

    // From the second good reply on the frame names the Vantrek; the edits
    // keep what they took (and what the technician types).
    dlg->SetDlgItemText(IDC_DIAG_TEMP_OFFSET, QStringLiteral("-5"));
    EXPECT_EQ(Tick(StatusLine() + "\r\n"), QByteArray("Wp05\r\n"));
    EXPECT_EQ(Text(IDC_DIAG_STATE), QStringLiteral("KVTQ-0042 v2.1.4"));
    // ...and keeps naming it, reply after reply, without blinking.
    for (int i = 0; i < 3; ++i) {
        Tick(StatusLine() + "\r\n");
        EXPECT_EQ(Text(IDC_DIAG_STATE), QStringLiteral("KVTQ-0042 v2.1.4")) << i;
    }
    EXPECT_EQ(Text(IDC_DIAG_BATTERY), QStringLiteral("Bat: 87%"));
    EXPECT_EQ(Text(IDC_DIAG_BUTTON), QStringLiteral("Button Pressed"));
    EXPECT_EQ(Text(IDC_DIAG_PRESSURE), QStringLiteral(" 189 psi"));
    EXPECT_EQ(Text(IDC_DIAG_PRESS_OFFSET_TEXT), QStringLiteral("Offset: 11900"));
    EXPECT_EQ(Text(IDC_DIAG_TEMP_OFFSET_TEXT), QStringLiteral("Offset: 08100"));
    EXPECT_EQ(Text(IDC_DIAG_PRESS_OFFSET), QStringLiteral("11801"));
    EXPECT_EQ(Text(IDC_DIAG_TEMP_OFFSET), QStringLiteral("-5"));

    // A partial line waits for the rest; a silent link keeps polling.
    EXPECT_EQ(Tick("Pw05LRp  1"), QByteArray("Wp05\r\n"));
    EXPECT_EQ(Tick("3c00001t401C00002b050\r\n"), QByteArray("Wp05\r\n"));
    EXPECT_EQ(Text(IDC_DIAG_PRESSURE), QStringLiteral("  13 psi"));
    EXPECT_EQ(Text(IDC_DIAG_BATTERY), QStringLiteral("Bat: 50%"));
}

TEST_F(DiagnosticsDlgTest, ChangeOffsetSendsBothOnceWithinRange) {
    Tick(StatusLine() + "\r\n");
    EXPECT_EQ(dlg->PressureOffset(), 11900);
    EXPECT_EQ(dlg->TemperatureOffset(), 8100);
    // Typing alone changes nothing on the Vantrek.
    dlg->SetDlgItemText(IDC_DIAG_PRESS_OFFSET, QStringLiteral("12000"));
    EXPECT_EQ(Tick(), QByteArray("Wp05\r\n"));
    for (const char* refused : {"5", "40000", "9", "32001", "1.5", ""}) {
        dlg->SetDlgItemText(IDC_DIAG_PRESS_OFFSET, QString::fromLatin1(refused));
        dlg->ClickDlgItem(IDC_DIAG_CHANGE_OFFSET);
        EXPECT_FALSE(dlg->ChangeRequested()) << refused;
        EXPECT_EQ(Tick(), QByteArray("Wp05\r\n")) << refused;
    }
    EXPECT_EQ(prompter.Shown().size(), 6u);
    EXPECT_EQ(prompter.Shown()[0].text,
              QStringLiteral("Please enter an integer between 10 and 32000."));
    dlg->SetDlgItemText(IDC_DIAG_TEMP_OFFSET, QStringLiteral("x"));
    dlg->SetDlgItemText(IDC_DIAG_PRESS_OFFSET, QStringLiteral("10"));
    dlg->ClickDlgItem(IDC_DIAG_CHANGE_OFFSET);
    EXPECT_FALSE(dlg->ChangeRequested());
    EXPECT_EQ(dlg->PressureOffset(), 11900);

    dlg->SetDlgItemText(IDC_DIAG_PRESS_OFFSET, QStringLiteral("32000"));
    dlg->SetDlgItemText(IDC_DIAG_TEMP_OFFSET, QStringLiteral("-40"));
    dlg->ClickDlgItem(IDC_DIAG_CHANGE_OFFSET);
    EXPECT_EQ(Tick(), QByteArray("Wp06c32000C-40\r\n"));
    EXPECT_EQ(Tick(), QByteArray("Wp05\r\n"));
}

TEST_F(DiagnosticsDlgTest, ALineThatIsNoStatusClosesWithItsHexadecimalDump) {
    // 26 characters are one too few.
    EXPECT_EQ(Tick("Pw05LRp  12c00000t400C0000\r\n"), QByteArray());
    EXPECT_TRUE(dlg->IsEnded());
    EXPECT_FALSE(dlg->LinkIsOpen());
    EXPECT_EQ(dlg->TimerInterval(1), 0);
    ASSERT_EQ(prompter.Shown().size(), 1u);
    const QByteArray bad = "Pw05LRp  12c00000t400C0000";
    EXPECT_EQ(prompter.Shown()[0].text, QString::fromLatin1(bad + "--" + bad.toHex().toUpper()));
    EXPECT_EQ(prompter.Shown()[0].caption, QStringLiteral("VTQ Probe Diagnostics"));
    EXPECT_EQ(prompter.Shown()[0].type, MB_OK);

    // With the link closed the report buffer commands do nothing.
    dlg->ClickDlgItem(IDC_DIAG_CLEAR);
    dlg->ClickDlgItem(IDC_DIAG_LAST);
    EXPECT_EQ(prompter.Shown().size(), 1u);
}

TEST_F(DiagnosticsDlgTest, AnOverlongLineKeepsItsFirstCharacters) {
    const QByteArray ident = QByteArray(2967, 'x') + "LOST";
    Tick(StatusLine() + "\r\n");
    Tick(StatusLine("11900", "08100", ident.constData()) + "\r\n");
    EXPECT_FALSE(dlg->IsEnded());
    EXPECT_EQ(Text(IDC_DIAG_STATE), QString(2967, QLatin1Char('x')));
}

TEST_F(DiagnosticsDlgTest, ClearAndLastSendTheReportBufferCommands) {
    prompter.Answer(IDNO);
    dlg->ClickDlgItem(IDC_DIAG_CLEAR);
    prompter.Answer(IDCANCEL);
    dlg->ClickDlgItem(IDC_DIAG_CLEAR);
    EXPECT_EQ(vantrek.Written(), QByteArray());
    prompter.Answer(IDYES);
    dlg->ClickDlgItem(IDC_DIAG_CLEAR);
    EXPECT_EQ(vantrek.Written(), QByteArray("Wp13CLR\r\n"));
    dlg->ClickDlgItem(IDC_DIAG_LAST);
    EXPECT_EQ(vantrek.Written(), QByteArray("Wp14\r\n"));
    dlg->ClickDlgItem(IDC_DIAG_DUMP);
    EXPECT_EQ(vantrek.Written(), QByteArray());

    const std::vector<ShownMessage>& shown = prompter.Shown();
    ASSERT_EQ(shown.size(), 5u);
    EXPECT_EQ(shown[0].text, QStringLiteral("Are you sure you want to clear report buffer?"));
    EXPECT_EQ(shown[0].caption, QStringLiteral("Clear Report?"));
    EXPECT_EQ(shown[0].type, MB_YESNOCANCEL | MB_ICONEXCLAMATION);
    EXPECT_EQ(shown[3].text, QStringLiteral("Report cleared."));
    EXPECT_EQ(shown[3].caption, QStringLiteral("Command Sent"));
    EXPECT_EQ(shown[3].type, MB_OK);
    EXPECT_EQ(shown[4].text, QStringLiteral("Last report restored."));
    EXPECT_EQ(shown[4].caption, QStringLiteral("Command Sent"));

    // The link closes under the question (a line that is no status reply):
    // nothing is sent, and no clearing is reported.
    prompter.Clear();
    prompter.WhileOpen([&] { Tick("Pw99\r\n"); });
    prompter.Answer(IDOK); // the closing message
    prompter.Answer(IDYES);
    dlg->ClickDlgItem(IDC_DIAG_CLEAR);
    EXPECT_FALSE(dlg->LinkIsOpen());
    EXPECT_EQ(vantrek.Written(), QByteArray());
    for (const ShownMessage& message : prompter.Shown())
        EXPECT_NE(message.text, QStringLiteral("Report cleared."));
}

TEST(DiagnosticsEndToEnd, SimulatorsStatusAndNewOffsets) {
    Simulator sim({QStringLiteral("--offsets"), QStringLiteral("11750,7990")});
    ASSERT_TRUE(sim.Started());
    WriteSettingInt(kKeySettings, QStringLiteral("COM Port"), 5);
    CDiagnosticsDlg dlg(nullptr);
    dlg.Create();
    ASSERT_TRUE(dlg.LinkIsOpen());
    ASSERT_TRUE(TickUntil(dlg, [&] {
        return dlg.GetDlgItemText(IDC_DIAG_STATE).startsWith(QStringLiteral("KVTQ"));
    }));
    EXPECT_EQ(dlg.GetDlgItemText(IDC_DIAG_PRESS_OFFSET), QStringLiteral("11750"));
    EXPECT_EQ(dlg.GetDlgItemText(IDC_DIAG_TEMP_OFFSET), QStringLiteral("7990"));
    EXPECT_EQ(dlg.GetDlgItemText(IDC_DIAG_BUTTON), QStringLiteral("Button Released"));
    dlg.SetDlgItemText(IDC_DIAG_PRESS_OFFSET, QStringLiteral("12000"));
    dlg.ClickDlgItem(IDC_DIAG_CHANGE_OFFSET);
    ASSERT_TRUE(TickUntil(dlg, [&] {
        return dlg.GetDlgItemText(IDC_DIAG_PRESS_OFFSET_TEXT) == QStringLiteral("Offset: 12000");
    }));
    EXPECT_EQ(dlg.GetDlgItemText(IDC_DIAG_TEMP_OFFSET_TEXT), QStringLiteral("Offset: 07990"));
    EXPECT_FALSE(dlg.IsEnded());
}
