#include "diagnostics/DiagnosticsDlg.h"

#include "diagnostics/Resource.h"
#include "framework/Format.h"
#include "framework/SettingsStore.h"
#include "framework/Strings.h"
#include "link/Link.h"
#include "platform/MessageBox.h"

#include <QApplication>

namespace {
constexpr int kTimer = 1;
constexpr int kTick = 200;
constexpr int kMinStatusLength = 27;
constexpr int kMinPressOffset = 10;
constexpr int kMaxPressOffset = 32000;
constexpr int kDefaultPressOffset = 11801;
constexpr int kDefaultTempOffset = 8000;
// However fast a faulty device floods the link, one tick stops after this
// many bytes; the rest waits for the next tick.
constexpr int kMaxBytesPerTick = 64 * 1024;

struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

// The number at the front of `text` as the C library reads one: blanks,
// a sign, digits; 0 when there are none.
int Number(const QByteArray& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && value < 1000000000; ++i)
        value = value * 10 + (text[i] - '0');
    return int(negative ? -value : value);
}

QString Latin1(const QByteArray& bytes) {
    return QString::fromLatin1(bytes);
}
} // namespace

const DlgTemplate& CDiagnosticsDlg::Template170() {
    static const DlgTemplate tmpl{
        IDD_DIAGNOSTICS,
        "Diagnostics",
        13,
        20,
        134,
        132,
        {
            {IDC_DIAG_STATE, Ctl::Group, "Connecting...", 2, 2, 130, 68},
            {IDC_DIAG_BUTTON, Ctl::Static, "Logging Button", 8, 14, 74, 9},
            {IDC_DIAG_BATTERY, Ctl::Static, "Bat: ??", 86, 14, 42, 9},
            {IDC_DIAG_PRESSURE, Ctl::Static, "---", 8, 28, 36, 9},
            {IDC_DIAG_PRESS_OFFSET_TEXT, Ctl::Static, "Offset: ---", 44, 28, 54, 9},
            {IDC_DIAG_PRESS_OFFSET, Ctl::Edit, "", 96, 26, 30, 12},
            {IDC_DIAG_TEMPERATURE, Ctl::Static, "---", 8, 42, 36, 9},
            {IDC_DIAG_TEMP_OFFSET_TEXT, Ctl::Static, "Offset: ---", 44, 42, 54, 9},
            {IDC_DIAG_TEMP_OFFSET, Ctl::Edit, "", 96, 40, 30, 12},
            {IDC_DIAG_CHANGE_OFFSET, Ctl::Button, "Change Offset", 68, 54, 58, 13},
            {IDC_STATIC, Ctl::Group, "Report", 2, 74, 130, 32},
            {IDC_DIAG_CLEAR, Ctl::Button, "Clear...", 8, 87, 36, 14},
            {IDC_DIAG_LAST, Ctl::Button, "Last...", 49, 87, 36, 14},
            {IDC_DIAG_DUMP, Ctl::Button, "Dump...", 90, 87, 36, 14},
            {IDCANCEL, Ctl::Button, "Cancel", 47, 113, 40, 14},
            {IDOK, Ctl::DefButton, "OK", 90, 113, 40, 14, Style::Hidden},
        }};
    return tmpl;
}

CDiagnosticsDlg::CDiagnosticsDlg(QWidget* parent) : CSetupPageDlg(Template170(), parent) {}

CDiagnosticsDlg::~CDiagnosticsDlg() {
    KillTimer(kTimer);
    if (m_bLinkOpen)
        LinkClose();
    m_bLinkOpen = false;
    m_nLineLen = 0;
}

bool CDiagnosticsDlg::OnInitDialog() {
    m_bLinkOpen = false;
    m_bChange = false;
    {
        WaitCursor wait;
        m_bLinkOpen =
            LinkOpen(ReadSettingInt(kKeySettings, QStringLiteral("COM Port"), 5), kLinkBaud);
    }
    if (!m_bLinkOpen) {
        LinkClose();
        EndDialog(IDCANCEL);
        MessageBox(LoadString(IDS_COULD_NOT_CONNECT), LoadString(IDS_ERROR), MB_OK);
        return true;
    }
    SetTimer(kTimer, kTick);
    return true;
}

bool CDiagnosticsDlg::ReceiveLine() {
    unsigned char c = 0;
    for (int taken = 0; taken < kMaxBytesPerTick && LinkGetByte(c); ++taken) {
        if (c == '\r')
            continue;
        if (c == '\n') {
            m_szLine[m_nLineLen] = '\0';
            m_line = QByteArray(m_szLine, m_nLineLen);
            m_nLineLen = 0;
            return true;
        }
        m_szLine[m_nLineLen++] = static_cast<char>(c);
        // An over-long line keeps its first 2999 characters: the fields of a
        // status line are all at its front.
        if (m_nLineLen > kLineBuffer - 1)
            --m_nLineLen;
    }
    return false;
}

void CDiagnosticsDlg::OnTimer(int id) {
    if (id != kTimer)
        return;
    KillTimer(kTimer);
    if (ReceiveLine()) {
        if (m_line.startsWith("Pw05") && m_line.size() >= kMinStatusLength) {
            ShowStatus(m_line);
        } else {
            LinkClose();
            m_bLinkOpen = false;
            EndDialog(IDCANCEL);
            QString message = Latin1(m_line) + QStringLiteral("--");
            for (const char c : m_line)
                message += QString::asprintf("%02X", unsigned(static_cast<unsigned char>(c)));
            MessageBox(message, LoadString(IDS_PROBE_DIAGNOSTICS), MB_OK);
            return;
        }
    }
    if (m_bLinkOpen && !m_bChange) {
        LinkPuts("Wp05\r\n");
    } else if (m_bLinkOpen) {
        LinkPuts(QString::asprintf("Wp06c%dC%d\r\n", m_nPressOffset, m_nTempOffset).toLatin1());
        m_bChange = false;
    }
    SetTimer(kTimer, kTick);
}

void CDiagnosticsDlg::ShowStatus(const QByteArray& line) {
    const auto tagAt = [&](int pos, char tag) { return line.size() > pos && line[pos] == tag; };
    if (tagAt(27, 'b')) {
        // The battery ends where the identification tag stands.
        const QByteArray text = line.mid(28, tagAt(31, 'i') ? 3 : -1);
        SetDlgItemText(IDC_DIAG_BATTERY, Format(LoadString(IDS_DIAG_BATTERY_FMT), {Number(text)}));
    }
    if (tagAt(21, 'C')) {
        const QByteArray text = line.mid(22, 5);
        if (m_nTempOffset == 0) {
            m_nTempOffset = Number(text) ? Number(text) : kDefaultTempOffset;
            SetDlgItemInt(IDC_DIAG_PRESS_OFFSET, m_nPressOffset);
            SetDlgItemInt(IDC_DIAG_TEMP_OFFSET, m_nTempOffset);
        }
        SetDlgItemText(IDC_DIAG_TEMP_OFFSET_TEXT, LoadString(IDS_DIAG_OFFSET) + Latin1(text));
    }
    if (tagAt(17, 't'))
        SetDlgItemText(IDC_DIAG_TEMPERATURE, Latin1(line.mid(18, 3)) + QStringLiteral(" °F"));
    if (tagAt(11, 'c')) {
        const QByteArray text = line.mid(12, 5);
        if (m_nPressOffset == 0) {
            m_nPressOffset = Number(text) ? Number(text) : kDefaultPressOffset;
            SetDlgItemInt(IDC_DIAG_PRESS_OFFSET, m_nPressOffset);
            SetDlgItemInt(IDC_DIAG_TEMP_OFFSET, m_nTempOffset);
        }
        SetDlgItemText(IDC_DIAG_PRESS_OFFSET_TEXT, LoadString(IDS_DIAG_OFFSET) + Latin1(text));
    }
    if (tagAt(6, 'p'))
        SetDlgItemText(IDC_DIAG_PRESSURE, Latin1(line.mid(7, 4)) + QStringLiteral(" psi"));
    if (tagAt(4, 'L'))
        SetDlgItemText(IDC_DIAG_BUTTON,
                       LoadString(tagAt(5, 'P') ? IDS_BUTTON_PRESSED : IDS_BUTTON_RELEASED));
    // The first good reply only takes "Connecting..." away; from then on the
    // frame keeps naming the Vantrek instead of blinking between the two.
    if (!m_bAnswered) {
        m_bAnswered = true;
        SetDlgItemText(IDC_DIAG_STATE, QString());
    } else if (tagAt(31, 'i'))
        SetDlgItemText(IDC_DIAG_STATE, Latin1(line.mid(32)));
}

void CDiagnosticsDlg::OnCommand(int id) {
    switch (id) {
    case IDC_DIAG_CHANGE_OFFSET:
        OnChangeOffset();
        break;
    case IDC_DIAG_CLEAR:
        OnClear();
        break;
    case IDC_DIAG_LAST:
        OnLast();
        break;
    case IDC_DIAG_DUMP:
        break; // no action
    default:
        CSetupPageDlg::OnCommand(id);
    }
}

void CDiagnosticsDlg::OnChangeOffset() {
    // The platform's data transfer: each field in turn, its own message on a
    // refusal, and nothing taken unless all are good.
    bool ok = false;
    const int pressure = GetDlgItemInt(IDC_DIAG_PRESS_OFFSET, &ok);
    if (!ok) {
        MessageBox(QStringLiteral("Please enter an integer."), QString(),
                   MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (pressure < kMinPressOffset || pressure > kMaxPressOffset) {
        MessageBox(QStringLiteral("Please enter an integer between %1 and %2.")
                       .arg(kMinPressOffset)
                       .arg(kMaxPressOffset),
                   QString(), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    const int temperature = GetDlgItemInt(IDC_DIAG_TEMP_OFFSET, &ok);
    if (!ok) {
        MessageBox(QStringLiteral("Please enter an integer."), QString(),
                   MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    m_nPressOffset = pressure;
    m_nTempOffset = temperature;
    m_bChange = true;
}

void CDiagnosticsDlg::OnClear() {
    if (!m_bLinkOpen)
        return;
    if (MessageBox(LoadString(IDS_CONFIRM_CLEAR_REPORT), LoadString(IDS_CLEAR_REPORT_Q),
                   MB_YESNOCANCEL | MB_ICONEXCLAMATION) != IDYES)
        return;
    // The timer ran on under the question and may have closed the link.
    if (!m_bLinkOpen)
        return;
    LinkPuts("Wp13CLR\r\n");
    MessageBox(LoadString(IDS_REPORT_CLEARED), LoadString(IDS_COMMAND_SENT), MB_OK);
}

void CDiagnosticsDlg::OnLast() {
    if (!m_bLinkOpen)
        return;
    LinkPuts("Wp14\r\n");
    MessageBox(LoadString(IDS_LAST_REPORT_RESTORED), LoadString(IDS_COMMAND_SENT), MB_OK);
}
