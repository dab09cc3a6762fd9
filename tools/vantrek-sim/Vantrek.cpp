#include "Vantrek.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
constexpr int kUnitsPerSecond = 5;

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool AllDigits(const std::string& text, size_t minLength, size_t maxLength) {
    return text.size() >= minLength && text.size() <= maxLength &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int Clamp(int value, int low, int high) {
    return std::min(std::max(value, low), high);
}

template <typename... Args> std::string Text(const char* format, Args... args) {
    char buffer[256];
    const int length = std::snprintf(buffer, sizeof buffer, format, args...);
    return std::string(buffer, static_cast<size_t>(std::clamp(length, 0, int(sizeof buffer) - 1)));
}
} // namespace

std::string ClockText(double seconds) {
    const long total = std::max(0L, static_cast<long>(seconds));
    return Text("%ld:%02ld:%02ld", total / 3600 % 10, total / 60 % 60, total % 60);
}

Vantrek::Vantrek(const VantrekSettings& settings)
    : m_settings(settings), m_profile(settings.profile) {}

std::string Vantrek::Receive(const std::string& line, double now) {
    // The calibration answers are the only lines that are not commands.
    if (m_calibration != Calibration::Off && !StartsWith(line, "Wp"))
        return CalibrationStep(line);
    if (StartsWith(line, "Wp01"))
        return StatusReply(line, now);
    for (int record = 2; record <= 4; ++record) {
        if (StartsWith(line, Text("Wp%02d:", record).c_str()))
            return UploadReply(record, line, now);
        if (line == Text("Wp%dR", record)) {
            const std::string head = Text("Pw%02d:", record);
            return BlockReply(head.c_str(),
                              m_report ? EncodeRecord(m_report->records[record - 2]) : "");
        }
    }
    if (line == "Wp11")
        return SampleHeader();
    if (StartsWith(line, "Wp12-"))
        return DataBlock(line);
    if (line == "Wp13CLR") {
        m_reportWaiting = false; // kept for "Wp14"
        return std::string();
    }
    if (line == "Wp14") {
        m_reportWaiting = m_report.has_value() && !m_logging;
        return std::string();
    }
    if (line == "Wp05")
        return DiagnosticsReply(now);
    if (StartsWith(line, "Wp06"))
        return SetOffsets(line);
    return std::string();
}

int Vantrek::LogState(double now) {
    Advance(now);
    if (m_logging)
        return 1;
    return m_reportWaiting ? 2 : 0;
}

double Vantrek::LogSeconds(double now) const {
    return std::min(now - m_logStart, FusionProfile::Duration());
}

int Vantrek::LivePressure(double now) const {
    if (m_demoMode)
        return m_demoPsi;
    return m_logging ? m_profile.PressureAt(LogSeconds(now)) : m_settings.idlePressure;
}

void Vantrek::Advance(double now) {
    if (!m_logging)
        return;
    const double seconds = LogSeconds(now);
    const long due = static_cast<long>(seconds * kUnitsPerSecond);
    for (long time = long(m_current.samples.size()) * m_settings.sampleUnits;
         time <= due && time <= 0xFFFF; time += m_settings.sampleUnits) {
        int psi = m_demoMode ? m_demoPsi : m_profile.PressureAt(double(time) / kUnitsPerSecond);
        // A little gauge noise while under pressure.
        if (!m_demoMode && psi > 0)
            psi += int(m_current.samples.size() % 3) - 1;
        m_current.samples.push_back({static_cast<std::uint16_t>(time),
                                     static_cast<std::int16_t>(Clamp(psi, -32768, 32767))});
    }
    m_current.span = static_cast<int>(due);
    if (now - m_logStart >= FusionProfile::Duration())
        FinishLog(now);
}

void Vantrek::FinishLog(double now) {
    if (!m_logging)
        return;
    m_logging = false;
    m_logEnd = std::min(now, m_logStart + FusionProfile::Duration());
    m_report = m_current;
    m_reportWaiting = true;
}

std::string Vantrek::StatusReply(const std::string& line, double now) {
    int logRequest = 0;
    int reset = 0;
    int demo = 0;
    int psi = 0;
    int used = 0;
    if (std::sscanf(line.c_str(), "Wp01L%ds%dD%dp%d%n", &logRequest, &reset, &demo, &psi, &used) !=
            4 ||
        used != int(line.size()))
        return std::string();

    Advance(now); // samples up to now carry the pressure before this poll
    if (logRequest == 2)
        FinishLog(now);
    if (reset == 1)
        m_stopwatchStart = now;
    m_demoMode = demo == 1;
    m_demoPsi = psi;

    const int state = LogState(now);
    int records = 0;
    double elapsed = 0;
    if (state == 1) {
        records = int(m_current.samples.size());
        elapsed = LogSeconds(now);
    } else if (state == 2) {
        records = int(m_report->samples.size());
        elapsed = m_logEnd - m_logStart;
    }
    const std::string model = (m_settings.model + "    ").substr(0, 4);
    const std::string version = (m_settings.version + "      ").substr(0, 6);
    return Text("Pw01L%dr%5de%7ss%7sp%4dt%03df%cb%3di%05d%s %s %s\r\n", state,
                Clamp(records, 0, 99999), ClockText(elapsed).c_str(),
                ClockText(now - m_stopwatchStart).c_str(), Clamp(LivePressure(now), -999, 9999),
                Clamp(m_settings.temperature, 0, 999), m_settings.temperatureShown ? '1' : '0',
                Clamp(m_settings.battery, 0, 999), Clamp(m_settings.serial, 0, 99999),
                model.c_str(), version.c_str(), m_settings.calDate.c_str());
}

std::string Vantrek::UploadReply(int record, const std::string& line, double now) {
    const std::string name = Text("Pw%02d", record);
    if (line.size() < 8 || line.compare(line.size() - 3, 3, "eom") != 0)
        return name + " ERR no eom\r\n";
    JointRecord fields;
    const std::string error =
        ParseRecord(record, std::string_view(line).substr(5, line.size() - 8), fields);
    if (!error.empty())
        return name + " ERR " + error + "\r\n";
    m_upload[record - 2] = std::move(fields);

    // The reserve data is the last record of a joint: logging begins.
    if (record == 4) {
        Advance(now);
        m_current = Report();
        for (int i = 0; i < 3; ++i)
            m_current.records[i] = m_upload[i];
        m_logging = true;
        m_logStart = now;
    }
    return name + " OK\r\n";
}

std::string Vantrek::BlockReply(const char* head, const std::string& payload) const {
    return head + payload + "eom\r\n";
}

std::string Vantrek::SampleHeader() const {
    const int count =
        m_report ? std::max(0, int(m_report->samples.size()) + m_settings.announceExtra) : 0;
    const int span = m_report ? m_report->span : 0;
    // Sample interval, time span and count; the count starts at position 15.
    return BlockReply("Pw11:", Text("SI%04dTS%05dNR%05d", Clamp(m_settings.sampleUnits, 0, 9999),
                                    Clamp(span, 0, 99999), count));
}

std::string Vantrek::DataBlock(const std::string& line) {
    const std::string number = line.substr(5);
    if (!AllDigits(number, 4, 4))
        return "Pw12 ERR block number\r\n";
    size_t count = m_report ? m_report->samples.size() : 0;
    const size_t size = size_t(std::max(1, m_settings.blockRecords));
    const int lostAt = m_settings.loseReportAtBlock;
    if (lostAt >= 0 && std::stoi(number) >= lostAt && m_report) {
        // The samples are gone; the Vantrek no longer offers the report.
        m_report->samples.resize(std::min(count, size_t(lostAt) * size));
        count = m_report->samples.size();
        m_reportWaiting = false;
    }
    const size_t first = std::min(size_t(std::stoi(number)) * size, count);
    const size_t end = std::min(first + size, count);
    std::string payload;
    for (size_t i = first; i < end; ++i) {
        const Sample& sample = m_report->samples[i];
        payload += Text("%04X%04X", sample.time, static_cast<std::uint16_t>(sample.psi));
    }
    // The last block read ends the download; "Wp14" can bring it back.
    if (end == count)
        m_reportWaiting = false;
    return BlockReply("Pw12:", payload);
}

std::string Vantrek::Identification() const {
    return Text("%s-%04d %s c%s", m_settings.model.c_str(), Clamp(m_settings.serial, 0, 9999),
                m_settings.version.c_str(), m_settings.calDate.c_str());
}

std::string Vantrek::DiagnosticsReply(double now) {
    return Text("Pw05LRp%4dc%05dt%03dC%05db%03di%s\r\n", Clamp(LivePressure(now), -999, 9999),
                Clamp(m_settings.pressureOffset, -9999, 99999),
                Clamp(m_settings.temperature, 0, 999),
                Clamp(m_settings.temperatureOffset, -9999, 99999),
                Clamp(m_settings.battery, 0, 999), Identification().c_str());
}

std::string Vantrek::SetOffsets(const std::string& line) {
    int pressure = 0;
    int temperature = 0;
    int used = 0;
    if (std::sscanf(line.c_str(), "Wp06c%dC%d%n", &pressure, &temperature, &used) == 2 &&
        used == int(line.size())) {
        m_settings.pressureOffset = pressure;
        m_settings.temperatureOffset = temperature;
    }
    return std::string();
}

std::string Vantrek::PressButton() {
    if (m_calibration != Calibration::Off)
        return std::string();
    m_calibration = Calibration::WaitGo;
    return "\r\nVantrek " + Identification() + "\r\nCalibration mode\r\n-->>";
}

std::string Vantrek::CalibrationStep(const std::string& line) {
    if (line == "EXIT") {
        const bool done = m_calibration == Calibration::WaitExit;
        m_calibration = Calibration::Off;
        return done ? "\r\nCalibration stored.\r\n" : "\r\nCalibration aborted.\r\n";
    }
    const std::string datePrompt = "Cal Date (yyyymmdd) = " + m_settings.calDate + " : ";
    switch (m_calibration) {
    case Calibration::WaitGo:
        if (line != "GO")
            return std::string();
        m_calibration = Calibration::WaitDate;
        return "\r\nCalibrating " + Identification() + "\r\n" + datePrompt;
    case Calibration::WaitDate:
        if (!AllDigits(line, 8, 8))
            return "\r\nInvalid date\r\n" + datePrompt;
        m_settings.calDate = line;
        if (m_settings.serial == 0) {
            m_calibration = Calibration::WaitSerial;
            return "\r\nSerial Number is 0 : ";
        }
        return Text("\r\nSerial Number is %d\r\n", m_settings.serial) + CalibrationResults();
    case Calibration::WaitSerial:
        if (!AllDigits(line, 1, 4) || std::stoi(line) == 0)
            return "\r\nSerial Number is 0 : ";
        m_settings.serial = std::stoi(line);
        return Text("\r\nSerial Number set to %d\r\n", m_settings.serial) + CalibrationResults();
    default:
        return std::string();
    }
}

std::string Vantrek::CalibrationResults() {
    m_calibration = Calibration::WaitExit;
    // Each verdict gives the measured value and its unit right before
    // " is within"; the handheld's report picks them out of the session log.
    return "Temperature calibration\r\n"
           "  400F point: measured 401F is within 3F\r\n"
           "  440F point: measured 438F is within 3F\r\n"
           "  500F point: measured 501F is within 3F\r\n"
           "  540F point: measured 538F is within 3F\r\n"
           "Pressure calibration\r\n"
           "  50 PSI point: measured 49.8 PSI is within 0.5%\r\n"
           "  250 PSI point: measured 250.6 PSI is within 0.5%\r\n"
           "  750 PSI point: measured 751.1 PSI is within 0.5%\r\n"
           "  1500 PSI point: measured 1498.7 PSI is within 0.5%\r\n"
           "CJC_Scale = 1.00213\r\n"
           "CJC_Offset = -0.412\r\n"
           "-------!!!\r\n"
           "-->>";
}
