#include "report/VtkDoc.h"

#include "framework/Globals.h"
#include "framework/Modal.h"
#include "framework/Strings.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "platform/RegularFile.h"
#include "platform/WholeFile.h"
#include "report/AppendNotesDlg.h"
#include "session/ReportStorage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <limits>
#include <new>

namespace {
// Reading starts after the version text, which is not compared with anything.
constexpr qsizetype kFirstField = 10;
// A report is a few kilobytes; anything past this is not one, and is not
// taken into memory.
constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

// Decimal digits of the header from `pos` up to the first other character, or
// up to `end`; false when the number would not fit an int.
bool ParseDigits(const QByteArray& text, qsizetype pos, qsizetype end, int& value) {
    qint64 n = 0;
    for (; pos < end && pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        n = n * 10 + (text[pos] - '0');
        if (n > std::numeric_limits<int>::max())
            return false;
    }
    value = static_cast<int>(n);
    return true;
}

quint16 Word(const QByteArray& bytes, qsizetype pos) {
    return static_cast<quint16>(static_cast<quint8>(bytes[pos]) |
                                (static_cast<quint8>(bytes[pos + 1]) << 8));
}
} // namespace

CVtkDoc::CVtkDoc() : m_t(kMaxSamples, 0), m_p(kMaxSamples + 1, 0) {
    g_nSearchPercent = 100;
}

CVtkDoc::CVtkDoc(Detached) : m_t(kMaxSamples, 0), m_p(kMaxSamples + 1, 0) {}

void CVtkDoc::UpdateAllViews() {
    if (m_updateViews)
        m_updateViews();
}

bool CVtkDoc::OnNewDocument() {
    OnCloseDocument();
    return true;
}

bool CVtkDoc::OnOpenDocument(const QString& path) {
    QFile file;
    if (!OpenRegularFile(file, path)) {
        MessageBox(
            QStringLiteral("Could not open the report\n%1").arg(QDir::toNativeSeparators(path)),
            QString(), MB_OK | MB_ICONERROR);
        return false;
    }
    g_strReportPath = QFileInfo(path).absoluteFilePath();
    g_bReportChanged = true;
    UpdateAllViews();
    return true;
}

void CVtkDoc::OnCloseDocument() {
    FreeReport(true);
    g_bReportChanged = true;
    UpdateAllViews();
}

void CVtkDoc::OnFileSaveAs() {
    // The document holds nothing the file does not: saving it under another
    // name is a byte-for-byte copy, never a rewrite that could lose the report.
    if (g_strReportPath.isEmpty())
        return;
    const QString target = PromptSaveFile(LoadString(IDS_REPORT_FILTER), g_strReportPath);
    if (target.isEmpty() || QFileInfo(target).absoluteFilePath() == g_strReportPath)
        return;
    QFile source(g_strReportPath);
    QFile copy(target);
    bool ok = source.open(QIODevice::ReadOnly);
    const QByteArray bytes = ok ? source.readAll() : QByteArray();
    ok = ok && source.error() == QFile::NoError &&
         copy.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
         copy.write(bytes) == bytes.size() && copy.flush();
    copy.close();
    if (!ok)
        MessageBox(QStringLiteral("Could not save the report to\n%1")
                       .arg(QDir::toNativeSeparators(target)),
                   QString(), MB_OK | MB_ICONERROR);
}

void CVtkDoc::OnFileOpen() {
    FreeReport(true);
    // The handheld's "\Joint Reports" is the report folder under the root.
    const QString path = PromptOpenFile(LoadString(IDS_REPORT_FILTER), ReportFolder());
    g_nSearchPercent = 100;
    if (!path.isEmpty())
        g_strReportPath = QFileInfo(path).absoluteFilePath();
    g_bReportChanged = true;
    UpdateAllViews();
}

bool CVtkDoc::CanAppendNotes() {
    return !g_strReportPath.isEmpty();
}

void CVtkDoc::OnAppendNotes() {
    // The notes are rewritten from the file image, so that image must be the
    // shown report's, even when the view has not drawn it yet.
    if (g_bReportChanged || !IsLoaded()) {
        const bool loaded = LoadReport();
        g_bReportChanged = true; // the view still has to lay it out
        if (!loaded) {
            UpdateAllViews();
            return;
        }
    }
    QString typed;
    for (;;) {
        if (m_strNotes.size() >= kMaxNotes) {
            MessageBox(LoadString(IDS_NOTES_FULL));
            return;
        }
        CAppendNotesDlg dialog(m_strNotes, m_pWindow);
        dialog.m_strTyped = typed;
        if (RunModal(dialog) != IDOK || dialog.m_strCombined.isEmpty())
            return;
        // Another copy of the program may have appended to the same file
        // since it was read: rewriting the old image would drop those notes.
        // Then the report is shown as it is now, and the notes typed are
        // offered again to append to the current ones.
        QByteArray current;
        QFile file;
        if (!OpenRegularFile(file, g_strReportPath) || file.size() > kMaxFileBytes ||
            (current = file.readAll(), file.error() != QFileDevice::NoError)) {
            MessageBox(LoadString(IDS_CANNOT_OPEN_NOTES_FILE));
            return;
        }
        if (current == m_image) {
            m_strNotes = dialog.m_strCombined;
            break;
        }
        typed = dialog.m_strTyped;
        const bool loaded = LoadReportImage(current);
        g_bReportChanged = true; // the view lays the report out anew
        UpdateAllViews();
        if (!loaded)
            return;
    }

    QByteArray notes;
    notes.reserve(2 + 2 * m_strNotes.size());
    notes += char(m_strNotes.size() & 0xff);
    notes += char(m_strNotes.size() >> 8);
    for (QChar c : m_strNotes) {
        notes += char(c.unicode() >> 8);
        notes += char(c.unicode() & 0xff);
    }
    const QByteArray bytes = m_image.left(m_nNotesPos) + notes + m_image.mid(m_nNotesEnd);
    // A full card or a crash on the way leaves the old report as it was.
    if (!WriteWholeFile(g_strReportPath, bytes)) {
        MessageBox(LoadString(IDS_CANNOT_OPEN_NOTES_FILE));
        return;
    }
    g_bReportChanged = true;
    UpdateAllViews();
}

void CVtkDoc::Clear() {
    m_image.clear();
    m_sampleCopy.clear();
    m_nReadPos = 0;
    m_nNotesPos = m_nNotesEnd = -1;
    m_strNotes.clear();
    m_fields = {};
    m_strLines.clear();
    m_strHeader.clear();
    m_nHeaderNumber = m_nTimeSpan = m_nSamples = 0;
    m_strPressUnit = QStringLiteral("psi");
    m_dPsiPerUnit = 1.0;
    m_nDemo = 0;
    m_strPipeArea.clear();
    m_bForces = false;
    m_nMaxPressure = m_nRunningMax = m_nFrontEndEnd = m_nHeaterRemovalEnd = 0;
}

void CVtkDoc::FreeReport(bool clearPath) {
    Clear();
    g_bReportChanged = false;
    if (clearPath)
        g_strReportPath.clear();
}

bool CVtkDoc::LoadReport() {
    if (g_strReportPath.isEmpty()) {
        MessageBox(LoadString(IDS_NO_FILE_NAME));
        return false;
    }
    FreeReport(false);
    QByteArray image;
    QFile file;
    bool ok = OpenRegularFile(file, g_strReportPath) && file.size() <= kMaxFileBytes;
    if (ok) {
        try {
            image = file.readAll();
        } catch (const std::bad_alloc&) {
            ok = false;
        }
        ok = ok && file.error() == QFileDevice::NoError;
    }
    if (!ok || !LoadReportImage(image)) {
        FreeReport(true);
        return false;
    }
    return true;
}

bool CVtkDoc::ReadIntField(int& value) {
    if (m_nReadPos < 0 || m_nReadPos + 2 > m_image.size())
        return false;
    value = Word(m_image, m_nReadPos);
    m_nReadPos += 2;
    return true;
}

bool CVtkDoc::ReadTextField(QString& text) {
    int count = 0;
    if (!ReadIntField(count) || count > kMaxTextChars)
        return false;
    if (count == 0) {
        // An empty text carries one zero word after its count.
        if (m_nReadPos + 2 > m_image.size())
            return false;
        m_nReadPos += 2;
        text = QStringLiteral("---");
        return true;
    }
    if (m_nReadPos + 2 * qsizetype(count) > m_image.size())
        return false;
    text.clear();
    for (int i = 0; i < count; ++i) {
        // Each character arrives high byte first.
        const qsizetype at = m_nReadPos + 2 * i;
        const char16_t c = static_cast<char16_t>((static_cast<quint8>(m_image[at]) << 8) |
                                                 static_cast<quint8>(m_image[at + 1]));
        if (c == 0)
            break;
        text += QChar(c);
    }
    m_nReadPos += 2 * qsizetype(count);
    if (text.isEmpty())
        text = QStringLiteral("---");
    return true;
}

bool CVtkDoc::ReadHeader() {
    // The header is an ASCII text of at most 99 characters ended by a NUL.
    const qsizetype nul = m_image.indexOf('\0', m_nReadPos);
    if (nul < 0 || nul - m_nReadPos > kMaxHeaderChars)
        return false;
    const QByteArray text = m_image.mid(m_nReadPos, nul - m_nReadPos);
    m_strHeader = QString::fromLatin1(text);
    int count = 0;
    if (!ParseDigits(text, 2, 6, m_nHeaderNumber) || !ParseDigits(text, 8, 13, m_nTimeSpan) ||
        !ParseDigits(text, 15, text.size(), count))
        return false;
    m_nReadPos = nul + 1;
    // Every sample the header announces must be in the file.
    if (qint64(count) * 4 > m_image.size() - m_nReadPos)
        return false;
    m_sampleCopy = m_image.mid(m_nReadPos, qsizetype(count) * 4);
    m_nSamples = std::min(count, kMaxSamples);
    for (int i = 0; i < m_nSamples; ++i) {
        m_t[i] = Word(m_sampleCopy, 4 * i);
        m_p[i] = static_cast<qint16>(Word(m_sampleCopy, 4 * i + 2));
    }
    return true;
}

bool CVtkDoc::LoadReportImage(const QByteArray& image) {
    Clear();
    m_image = image;
    m_nReadPos = kFirstField;
    bool ok = true;
    for (int f = 0; ok && f < RF_COUNT; ++f) {
        ReportValue& value = m_fields[f];
        if (f == RF_NOTES)
            m_nNotesPos = m_nReadPos;
        ok = kReportFields[f].text ? ReadTextField(value.text) : ReadIntField(value.number);
        if (f == RF_NOTES) {
            m_nNotesEnd = m_nReadPos;
            m_strNotes = value.text;
        }
    }
    if (!ok || !ReadHeader()) {
        Clear();
        return false;
    }

    switch (m_fields[RF_PRESS_UNIT].number) {
    case 1:
        m_strPressUnit = QStringLiteral("bar");
        m_dPsiPerUnit = 14.5;
        break;
    case 2:
        m_strPressUnit = QStringLiteral("Kg/cm²");
        m_dPsiPerUnit = 14.2;
        break;
    case 3:
        m_strPressUnit = QStringLiteral("MPa");
        m_dPsiPerUnit = 145.0;
        break;
    default:
        break;
    }
    m_nDemo = m_fields[RF_DEMO_MODE].number;
    const QString& area = m_fields[RF_PIPE_AREA].text;
    const qsizetype tilde = area.indexOf(QLatin1Char('~'));
    m_strPipeArea = tilde < 0 ? QString() : area.left(tilde);
    m_bForces = area.mid(tilde < 0 ? 0 : tilde + 1).contains(QLatin1String("+F^"));

    return true;
}

int CVtkDoc::ReadPressure(int i) {
    const int p = PressureAt(i);
    if (p > m_nRunningMax)
        m_nRunningMax = p;
    return p;
}
