#include "report/JointRecords.h"

#include "framework/Format.h"
#include "framework/Globals.h"
#include "framework/SettingsStore.h"
#include "framework/Strings.h"
#include "link/CommandText.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "report/JointSummary.h"
#include "setup/JointRecord.h"
#include "setup/MachineModels.h"
#include "setup/NotesPrefix.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {
constexpr int kMaxTextChars = 100;
constexpr int kNotesMarker = 999;
} // namespace

bool CJointRecords::Allocate() {
    m_pCmdBuf.reset(new (std::nothrow) char[kBufferSize]);
    if (m_pCmdBuf)
        m_pCmdBuf[0] = '\0';
    m_nLength = 0;
    return HasBuffer();
}

void CJointRecords::Free() {
    m_pCmdBuf.reset();
    m_nLength = 0;
}

QByteArray CJointRecords::Text() const {
    return m_pCmdBuf ? QByteArray(m_pCmdBuf.get(), m_nLength) : QByteArray();
}

bool CJointRecords::Begin(const char* prefix) {
    if (!m_pCmdBuf) {
        MessageBox(LoadString(IDS_NO_JOINT_INFO_MEMORY), LoadString(IDS_ERROR));
        return false;
    }
    m_nLength = 0;
    Append(prefix, static_cast<int>(std::strlen(prefix)));
    RecordBuildState = kBuilding;
    return true;
}

void CJointRecords::Finish(int readyState, bool anyNonZero, const QString& failure) {
    Append(kRecordEnd, static_cast<int>(std::strlen(kRecordEnd)));
    const bool built = anyNonZero ? RecordBuildState != kNoRecord : RecordBuildState == kBuilding;
    if (built)
        RecordBuildState = readyState;
    else
        MessageBox(failure, QStringLiteral("Log Error"), MB_OK | MB_ICONSTOP);
}

bool CJointRecords::Fits(int moreChars) const {
    return m_nLength + moreChars <= kMaxRecordText;
}

void CJointRecords::Append(const char* text, int length) {
    // The limit test leaves room for the count digits of the field that did
    // not fit and for "eom\r\n"; this guard keeps the buffer whole regardless.
    if (m_nLength + length >= kBufferSize)
        length = kBufferSize - 1 - m_nLength;
    std::memcpy(m_pCmdBuf.get() + m_nLength, text, static_cast<size_t>(length));
    m_nLength += length;
    m_pCmdBuf[m_nLength] = '\0';
}

void CJointRecords::Overflow() {
    RecordBuildState = kNoRecord;
    MessageBox(LoadString(IDS_JOINT_INFO_TOO_LONG), LoadString(IDS_ERROR));
}

void CJointRecords::AppendIntField(int value) {
    if (RecordBuildState == kNoRecord || !m_pCmdBuf)
        return;
    long long magnitude = std::llabs(static_cast<long long>(value));
    if (magnitude > 0xffff)
        magnitude = 0xffff;
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04llx", magnitude);
    if (!Fits(4)) {
        Overflow();
        return;
    }
    Append(digits, 4);
}

void CJointRecords::AppendTextField(const QString& text) {
    if (RecordBuildState == kNoRecord || !m_pCmdBuf)
        return;
    const QString sent = text.trimmed().left(kMaxTextChars);
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04x", static_cast<unsigned>(sent.size()));
    Append(digits, 4);
    QByteArray chars;
    chars.reserve(sent.size() * 4);
    for (QChar c : sent) {
        const unsigned unit = c.unicode();
        std::snprintf(digits, sizeof digits, "%02x%02x", unit & 0xff, unit >> 8);
        chars.append(digits, 4);
    }
    if (!Fits(static_cast<int>(chars.size()))) {
        Overflow();
        return;
    }
    Append(chars.constData(), static_cast<int>(chars.size()));
}

void CJointRecords::BuildJointInfoRecord() {
    using namespace LogData;
    if (!Begin(kJointInfoPrefix))
        return;
    const QDateTime now = CurrentLocalTime();
    const QDate date = now.date();
    const QTime time = now.time();
    for (int v : {date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second()})
        AppendIntField(v);
    AppendTextField(ReadLogText(kMachineId));
    AppendIntField(ReadLogInt(kMachineModelInx));
    AppendTextField(ReadLogText(kMachineModelText));
    AppendTextField(ReadLogText(kPistonArea));
    AppendIntField(ReadLogInt(kPistonAreaUnit));
    AppendTextField(ReadLogText(kEmployeeId));
    AppendTextField(ReadLogText(kJobNumber));
    AppendIntField(ReadLogInt(kJointNumber, 1));
    AppendIntField(ReadLogInt(kPipeMaterialInx));
    AppendTextField(ReadLogText(kPipeMaterialText));

    const bool tarvexMech = IsTarvexMech();
    const bool sidewall = ReadLogInt(kDoSidewallFusion) == 1;
    const bool fitting = tarvexMech || sidewall;
    if (fitting)
        AppendTextField(g_strFittingTypes.value(ReadLogInt(kFittingType)));
    else
        AppendTextField(ReadLogText(kPipeSize));
    AppendIntField(ReadLogInt(kPipeSizeUnit));
    if (fitting)
        AppendTextField(FittingSizeText());
    else
        AppendTextField(ReadLogText(kWallThickness));
    AppendIntField(ReadLogInt(kWallThicknessUnit));

    if (tarvexMech) {
        for (const QString* name :
             {&kFittingHeatPressure, &kFittingFusePressure, &kFuseIfp, &kCoolIfp})
            AppendTextField(ReadLogText(*name));
    } else if (sidewall) {
        for (const QString* name :
             {&kRecBeadForceOrIfp, &kRecSoakForceOrIfp, &kRecFuseForceOrIfp, &kCoolIfp})
            AppendTextField(ReadLogText(*name));
    } else {
        for (const QString* name : {&kHeatIfp, &kSoakIfp, &kFuseIfp, &kCoolIfp})
            AppendTextField(ReadLogText(*name));
    }
    AppendIntField(ReadSettingInt(kKeySettings, QStringLiteral("Press Unit Inx"), 0));
    AppendTextField(ReadLogText(kDragPressure));
    for (const QString* name : {&kRecHeat, &kRecSoak, &kRecFuse, &kRecCool})
        AppendTextField(ReadLogText(*name));
    AppendIntField(ReadSettingInt(kKeySettings, QStringLiteral("Temp Unit Inx"), 0));
    AppendTextField(ReadLogText(kExtHtrTemp));
    AppendTextField(ReadLogText(kHtrTemp));
    Finish(kJointInfoReady, true, QStringLiteral("Could not build joint information!"));
}

void CJointRecords::BuildNotesRecord() {
    if (!Begin(kNotesPrefix))
        return;
    AppendIntField(kNotesMarker);
    AppendTextField(ReadLogText(LogData::kGps));
    AppendIntField(kNotesMarker);
    const QString prefix = NotesPrefix();
    AppendTextField(prefix + (prefix.isEmpty() ? QString() : QStringLiteral(". ")) +
                    ReadLogText(LogData::kNotes));
    Finish(kNotesReady, false, QStringLiteral("Could not build notes!"));
}

void CJointRecords::BuildReserveRecord(QByteArray& vantrekId) {
    using namespace LogData;
    if (!Begin(kReservePrefix))
        return;
    AppendIntField(ReadSettingInt(kKeySettings, QStringLiteral("Demo Mode"), 0));
    AppendTextField(QString::fromLatin1(kProtocolVersion) + QLatin1Char(' ') +
                    QString::fromLatin1(vantrekId));
    vantrekId = QByteArrayLiteral("------");
    QString area = ReadLogText(kPipeAreaSw);
    area += ReadLogInt(kPipeAreaSwUnitInx) == 1 ? QStringLiteral(" cm²") : QStringLiteral(" in²");
    area += QLatin1Char('~');
    if (ReadLogInt(kDoSidewallFusion) == 1 && ReadLogInt(kFittingForceOrCalc) == 0)
        area += QStringLiteral("+F^");
    AppendTextField(area);
    Finish(kReserveReady, false, QStringLiteral("Could not build reserve data!"));
}
