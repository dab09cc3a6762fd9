#pragma once
// The Vantrek as the handheld sees it: one reply per command line, a joint
// logged from the uploaded records, the report download, diagnostics, and the
// calibration dialogue started by its button. Time is the device's own, in
// seconds, given with every call, so the link can run it faster than life.

#include "FusionProfile.h"
#include "JointRecords.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct VantrekSettings {
    int battery = 87;      // percent; 20 makes the handheld warn
    int temperature = 430; // heater probe, °F
    bool temperatureShown = true;
    int idlePressure = 0;       // gauge pressure while not logging, psi
    std::string model = "KVTQ"; // four characters
    std::string version = "v2.1.4";
    std::string calDate = "20240115";
    int serial = 42; // 0: asks for one during calibration
    int pressureOffset = 11801;
    int temperatureOffset = 8000;
    int sampleUnits = 5;        // time units of 0.2 s between samples
    int blockRecords = 32;      // samples per data block
    int announceExtra = 0;      // samples the header announces but no block holds (below 0: fewer)
    int loseReportAtBlock = -1; // data blocks from this one on come empty
    FusionPressures profile;
};

class Vantrek {
public:
    explicit Vantrek(const VantrekSettings& settings);

    // One command line (without its line end) at device time `now`; returns
    // the reply with its line end, or nothing for commands not answered.
    std::string Receive(const std::string& line, double now);

    // The operator presses the button: the calibration dialogue begins.
    std::string PressButton();

    // 0 idle, 1 logging, 2 a report is waiting.
    int LogState(double now);

private:
    struct Sample {
        std::uint16_t time; // 0.2-second units from the start of the log
        std::int16_t psi;
    };
    struct Report {
        JointRecord records[3];
        std::vector<Sample> samples;
        int span = 0; // time units
    };
    enum class Calibration { Off, WaitGo, WaitDate, WaitSerial, WaitExit };

    std::string StatusReply(const std::string& line, double now);
    std::string UploadReply(int record, const std::string& line, double now);
    std::string BlockReply(const char* head, const std::string& payload) const;
    std::string DataBlock(const std::string& line);
    std::string SampleHeader() const;
    std::string DiagnosticsReply(double now);
    std::string SetOffsets(const std::string& line);
    std::string CalibrationStep(const std::string& line);
    std::string CalibrationResults();
    std::string Identification() const;

    void Advance(double now); // takes the samples due by `now`
    void FinishLog(double now);
    int LivePressure(double now) const;
    double LogSeconds(double now) const;

    VantrekSettings m_settings;
    FusionProfile m_profile;
    JointRecord m_upload[3]; // as last uploaded, for the next joint

    bool m_logging = false;
    double m_logStart = 0;
    double m_logEnd = 0;
    Report m_current;               // the joint being logged
    std::optional<Report> m_report; // the last finished joint
    bool m_reportWaiting = false;

    double m_stopwatchStart = 0;
    bool m_demoMode = false;
    int m_demoPsi = 0;
    Calibration m_calibration = Calibration::Off;
};

// "h:mm:ss" of `seconds`, seven characters wide.
std::string ClockText(double seconds);
