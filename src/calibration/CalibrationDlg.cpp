#include "calibration/CalibrationDlg.h"

#include "calibration/CalibArchive.h"
#include "calibration/Resource.h"
#include "framework/SettingsStore.h"
#include "framework/Strings.h"
#include "link/Link.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/Power.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <cstring>

namespace {
constexpr int kTimer = 1;
constexpr int kFirstTick = 200;
constexpr int kTick = 100;
// However fast a faulty device floods the link, one pass stops after this
// many bytes; the rest waits for the next tick.
constexpr int kMaxBytesPerPass = 64 * 1024;

const char kDatePrompt[] = "Cal Date (yyyymmdd) = ";
const char kSerialPrompt[] = "Serial Number is 0 : ";

// The handheld's 8-bit code page, Windows-1252: Latin-1 but for 0x80-0x9F.
QChar CodePageChar(unsigned char c) {
    static const char16_t k80[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    return c >= 0x80 && c < 0xA0 ? QChar(k80[c - 0x80]) : QChar(c);
}

// The number at the start of `text`, as the C library reads one.
int LeadingNumber(const QString& text) {
    int value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};
} // namespace

const DlgTemplate& CCalibrationDlg::Template178() {
    static const DlgTemplate tmpl{IDD_CALIBRATION,
                                  "Calibration",
                                  13,
                                  17,
                                  134,
                                  134,
                                  {
                                      {IDC_CALIB_LOG, Ctl::Edit, "", 2, 2, 130, 112,
                                       Style::Multiline | Style::VScroll | Style::ReadOnly},
                                      {IDCANCEL, Ctl::Button, "Exit", 47, 117, 40, 14},
                                      {IDOK, Ctl::DefButton, "OK", 90, 117, 40, 14, Style::Hidden},
                                  }};
    return tmpl;
}

CCalibrationDlg::CCalibrationDlg(QWidget* parent) : CSetupPageDlg(Template178(), parent) {}

CCalibrationDlg::~CCalibrationDlg() {
    KillTimer(kTimer);
    if (m_bLinkOpen)
        LinkClose();
    m_bLinkOpen = false;
    m_nLineLen = 0;
}

bool CCalibrationDlg::OnInitDialog() {
    m_logFont = QFont(QStringLiteral("Tahoma"));
    m_logFont.setPixelSize(16);
    m_logFont.setWeight(QFont::Bold);
    m_logFont.setStyleHint(QFont::SansSerif);
    SetDlgItemFont(IDC_CALIB_LOG, m_logFont);

    m_nStep = 0;
    m_bArchiveWritten = false;
    m_bLinkOpen = false;
    {
        WaitCursor wait;
        const int port = ReadSettingInt(kKeySettings, QStringLiteral("COM Port"), 5);
        m_strSessionLog = QStringLiteral("---");
        m_bLinkOpen = LinkOpen(port, kLinkBaud);
    }
    if (!m_bLinkOpen) {
        LinkClose();
        EndDialog(IDCANCEL);
        MessageBox(LoadString(IDS_COULD_NOT_CONNECT), LoadString(IDS_ERROR), MB_OK);
    }
    m_strSerial = ReadSettingText(kKeyCalibration, QStringLiteral("Serial Number"),
                                  QStringLiteral("KVTQ-0000"));
    if (m_bLinkOpen)
        SetTimer(kTimer, kFirstTick);
    return true;
}

void CCalibrationDlg::OnTimer(int id) {
    if (id != kTimer)
        return;
    KillTimer(kTimer);
    // The handheld must not suspend in the middle of a calibration.
    ResetIdleTimer();
    if (m_nStep == 0 || m_nStep == 1) {
        SetDlgItemText(IDC_CALIB_LOG,
                       QStringLiteral("Press the Vantrek button to start calibration."));
        m_nStep = 2;
    } else {
        ExchangeStep();
    }
    if (!IsEnded())
        SetTimer(kTimer, kTick);
}

void CCalibrationDlg::ExchangeStep() {
    ReceivePass();
    switch (m_nStep) {
    case 3:
        LinkPuts("GO\r");
        m_nStep = 4;
        break;
    case 5: {
        const QDate today = CurrentLocalTime().date();
        LinkPuts(QString::asprintf("%04d%02d%02d\r", today.year(), today.month(), today.day())
                     .toLatin1());
        m_nStep = 4;
        break;
    }
    case 6:
        LinkPuts(QString::asprintf("%d\r", LeadingNumber(m_strSerial.mid(5, 4))).toLatin1());
        m_nStep = 4;
        break;
    case 7:
        LinkPuts("EXIT\r");
        WriteArchive();
        m_nStep = 4;
        break;
    default:
        break;
    }
}

bool CCalibrationDlg::MatchPatterns() {
    const int n = m_nLineLen;
    const char* s = m_szLine;
    // A fourth character '>' settles it: prompt or nothing.
    if (n >= 4 && s[3] == '>') {
        if (std::strncmp(s, "-->>", 4) != 0)
            return false;
        m_nStep = m_nStep == 2 ? 3 : 7;
        return true;
    }
    if (n >= 33 && s[9] == '(' && s[17] == 'd' && s[31] == ':' &&
        std::strncmp(s, kDatePrompt, sizeof kDatePrompt - 1) == 0) {
        m_nStep = 5;
        return true;
    }
    if (n >= 21 && s[0] == 'S' && s[7] == 'N' && s[19] == ':' &&
        std::strncmp(s, kSerialPrompt, 19) == 0) {
        m_nStep = 6;
        return true;
    }
    return false;
}

void CCalibrationDlg::ReceivePass() {
    unsigned char c = 0;
    if (!LinkGetByte(c))
        return;
    for (int taken = 1;; ++taken) {
        if (c == '\n')
            m_strSessionLog += QStringLiteral("\r\n");
        else if (c != '\r')
            m_strSessionLog += CodePageChar(c);

        if (c == '\r') {
            m_nLineLen = 0;
        } else if (c == '\n') {
            m_szLine[m_nLineLen] = '\r';
            m_szLine[m_nLineLen + 1] = '\n';
            m_szLine[m_nLineLen + 2] = '\0';
            m_nLineLen = 0;
            break;
        } else {
            m_szLine[m_nLineLen++] = static_cast<char>(c);
            m_szLine[m_nLineLen] = '\0';
            if (MatchPatterns()) {
                m_nLineLen = 0;
                break;
            }
            // A longer line keeps overwriting its 3000th character.
            if (m_nLineLen > kLineMax - 1)
                --m_nLineLen;
        }
        if (taken >= kMaxBytesPerPass || !LinkGetByte(c))
            break;
    }
    QString shown = m_strSessionLog;
    SetDlgItemText(IDC_CALIB_LOG, shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    if (auto* view = qobject_cast<QPlainTextEdit*>(GetDlgItem(IDC_CALIB_LOG)))
        view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
}

void CCalibrationDlg::WriteArchive() {
    WriteCalibrationArchive(m_strSerial, m_strSessionLog, m_bArchiveWritten);
}

void CCalibrationDlg::OnCancel() {
    if (MessageBox(QStringLiteral("Are you sure you want to exit?"),
                   QStringLiteral("Exit Calibration?"), MB_YESNO) != IDYES)
        return;
    WriteArchive();
    LinkPuts("EXIT\r");
    EndDialog(IDCANCEL);
}
