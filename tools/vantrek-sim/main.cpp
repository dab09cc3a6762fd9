// vantrek-sim: a Vantrek on a pseudo-terminal, for the demo and the tests.

#include "SimLink.h"
#include "Vantrek.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <getopt.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
struct Option {
    const char* name;
    const char* argument; // nullptr: none; "[X]": optional
    const char* help;
    std::function<void(const char*)> apply;
};

std::vector<Option> g_options;
const char* g_current = ""; // the option being read, for the messages

void PrintUsage(FILE* to) {
    std::fputs("Usage: vantrek-sim --link PATH [options]\n"
               "Links a pseudo-terminal at PATH and answers the handheld's commands on it\n"
               "until killed. SIGUSR1 presses the Vantrek's button (calibration dialogue),\n"
               "SIGUSR2 stalls the link.\n\nOptions:\n",
               to);
    for (const Option& option : g_options) {
        const std::string left = std::string("--") + option.name +
                                 (option.argument ? std::string(" ") + option.argument : "");
        std::fprintf(to, "  %-24s%s\n", left.c_str(), option.help);
    }
}

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "vantrek-sim: %s\n", message.c_str());
    PrintUsage(stderr);
    std::exit(2);
}

double Number(const char* text, double low, double high) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(value >= low && value <= high))
        Fail(std::string("bad value for --") + g_current + ": " + text);
    return value;
}

int Integer(const char* text, int low, int high) {
    const double value = Number(text, low, high);
    if (value != static_cast<int>(value))
        Fail(std::string("--") + g_current + " takes a whole number: " + text);
    return static_cast<int>(value);
}

// Reads "a,b,..." into `values`, exactly as many as there are.
void Numbers(const char* text, std::vector<int*> values) {
    std::string rest = text;
    for (size_t i = 0; i < values.size(); ++i) {
        const size_t comma = rest.find(',');
        if ((comma == std::string::npos) != (i + 1 == values.size()))
            Fail(std::string("--") + g_current + " takes " + std::to_string(values.size()) +
                 " numbers separated by commas: " + text);
        *values[i] = Integer(rest.substr(0, comma).c_str(), -99999, 99999);
        rest.erase(0, comma == std::string::npos ? rest.size() : comma + 1);
    }
}
} // namespace

int main(int argc, char** argv) {
    VantrekSettings device;
    SimOptions sim;
    LinkFaults& faults = sim.faults;
    bool help = false;
    g_options = {
        {"link", "PATH", "where to link the pseudo-terminal (required)",
         [&](const char* a) { sim.linkPath = a; }},
        {"transcript", "FILE", "write every command received and reply sent",
         [&](const char* a) { sim.transcriptPath = a; }},
        {"time-scale", "X", "device seconds per real second (default 1)",
         [&](const char* a) { sim.timeScale = Number(a, 0.001, 10000); }},
        {"battery", "N", "battery percent (default 87; 20 makes the handheld warn)",
         [&](const char* a) { device.battery = Integer(a, 0, 999); }},
        {"temp", "F", "heater temperature in F (default 430)",
         [&](const char* a) { device.temperature = Integer(a, 0, 999); }},
        {"no-temp", nullptr, "no heater temperature to show",
         [&](const char*) { device.temperatureShown = false; }},
        {"pressure", "PSI", "gauge pressure while not logging (default 0)",
         [&](const char* a) { device.idlePressure = Integer(a, -999, 9999); }},
        {"profile", "B,S,F,C", "bead, soak, fuse and cool psi (default 350,30,350,320)",
         [&](const char* a) {
             FusionPressures& psi = device.profile;
             Numbers(a, {&psi.bead, &psi.soak, &psi.fuse, &psi.cool});
         }},
        {"sample-interval", "N", "time units of 0.2 s between samples (default 5)",
         [&](const char* a) { device.sampleUnits = Integer(a, 1, 9999); }},
        {"block-records", "N", "samples per download block (default 32)",
         [&](const char* a) { device.blockRecords = Integer(a, 1, 300); }},
        {"model", "TEXT", "model code, four characters (default KVTQ)",
         [&](const char* a) { device.model = a; }},
        {"version", "TEXT", "version text, six characters (default v2.1.4)",
         [&](const char* a) { device.version = a; }},
        {"cal-date", "YYYYMMDD", "calibration date (default 20240115)",
         [&](const char* a) {
             device.calDate = a;
             if (device.calDate.size() != 8 ||
                 device.calDate.find_first_not_of("0123456789") != std::string::npos)
                 Fail("--cal-date takes eight digits, as 20240115");
         }},
        {"serial", "N", "serial number; 0 asks for one in calibration (default 42)",
         [&](const char* a) { device.serial = Integer(a, 0, 9999); }},
        {"offsets", "P,T", "pressure and temperature offsets (default 11801,8000)",
         [&](const char* a) {
             Numbers(a, {&device.pressureOffset, &device.temperatureOffset});
         }},
        {"calibrate", "[=SECONDS]", "press the button SECONDS after start (default 0)",
         [&](const char* a) { sim.buttonAfter = a ? Number(a, 0, 1e6) : 0; }},
        {"noise", "PCT", "fault: random bytes before PCT% of the replies",
         [&](const char* a) { faults.noisePercent = Integer(a, 0, 100); }},
        {"drop", "PCT", "fault: PCT% of the replies never sent",
         [&](const char* a) { faults.dropPercent = Integer(a, 0, 100); }},
        {"drop-reply", "TEXT[@N]",
         "fault: the reply to the (Nth) command beginning with TEXT is never sent (repeatable)",
         [&](const char* a) { faults.dropReplyTo.Add(a); }},
        {"hold-reply", "TEXT[@N]",
         "fault: the reply to the (Nth) command beginning with TEXT is held back (repeatable)",
         [&](const char* a) { faults.holdReplyTo.Add(a); }},
        {"stray-before", "TEXT[@N]",
         "fault: a stray line, then the reply to the (Nth) command beginning with TEXT held "
         "back (repeatable)",
         [&](const char* a) { faults.strayBeforeReplyTo.Add(a); }},
        {"hold", "SECONDS", "how long a reply is held back (default 1)",
         [&](const char* a) { faults.holdSeconds = Number(a, 0, 1e6); }},
        {"twice", "TEXT[@N]",
         "fault: the reply to the (Nth) command beginning with TEXT comes "
         "twice (repeatable)",
         [&](const char* a) { faults.twiceReplyTo.Add(a); }},
        {"swap", "TEXT[@N]",
         "fault: the reply to the (Nth) command beginning with TEXT comes "
         "after the next reply (repeatable)",
         [&](const char* a) { faults.swapReplyTo.Add(a); }},
        {"overrun", "TEXT[@N]",
         "fault: the reply to the (Nth) command beginning with TEXT "
         "loses characters from its middle, as a receive overrun loses them (repeatable)",
         [&](const char* a) { faults.overrunReplyTo.Add(a); }},
        {"overrun-digits", "N", "characters an overrun loses (default 16)",
         [&](const char* a) { faults.overrunDigits = Integer(a, 1, 4096); }},
        {"refuse", "TEXT[@N]",
         "fault: the (Nth) upload record beginning with TEXT is "
         "refused with ERR and not taken (repeatable)",
         [&](const char* a) { faults.refuseRecord.Add(a); }},
        {"reset-at-block", "B",
         "fault: the Vantrek restarts when data block B is first asked "
         "for; it keeps the report",
         [&](const char* a) { faults.resetAtBlock = Integer(a, 0, 9999); }},
        {"reset-seconds", "SECONDS", "how long a restart takes (default 3)",
         [&](const char* a) { faults.resetSeconds = Number(a, 0, 1e6); }},
        {"lose-report-at", "B",
         "fault: the Vantrek loses the report's samples from data block "
         "B on (its blocks come empty)",
         [&](const char* a) { device.loseReportAtBlock = Integer(a, 0, 9999); }},
        {"announce-extra", "N", "fault: the sample header announces N samples it never sends",
         [&](const char* a) { device.announceExtra = Integer(a, 0, 99999); }},
        {"announce-fewer", "N", "the sample header announces N samples fewer than its blocks hold",
         [&](const char* a) { device.announceExtra = -Integer(a, 0, 99999); }},
        {"ff-first", "PCT", "fault: first byte of PCT% of the replies sent as 0xFF",
         [&](const char* a) { faults.ffFirstPercent = Integer(a, 0, 100); }},
        {"chunk", "N", "fault: replies written N bytes at a time",
         [&](const char* a) { faults.chunkBytes = Integer(a, 1, 4096); }},
        {"chunk-delay", "MS", "pause between the pieces (default 20)",
         [&](const char* a) { faults.chunkDelayMs = Integer(a, 0, 10000); }},
        {"stall", "SECONDS", "length of a stall (default 10)",
         [&](const char* a) { faults.stallSeconds = Number(a, 0, 1e6); }},
        {"stall-after", "N", "fault: stall after answering N commands",
         [&](const char* a) { faults.stallAfter = Integer(a, 0, 1000000000); }},
        {"seed", "N", "seed of the random faults (default 1)",
         [&](const char* a) { faults.seed = unsigned(Integer(a, 0, 1000000000)); }},
        {"help", nullptr, "this text", [&](const char*) { help = true; }},
    };

    constexpr int kFirstValue = 256; // above every short option and '?'
    std::vector<option> table;
    for (size_t i = 0; i < g_options.size(); ++i) {
        const char* argument = g_options[i].argument;
        const int kind = !argument            ? no_argument
                         : argument[0] == '[' ? optional_argument
                                              : required_argument;
        table.push_back({g_options[i].name, kind, nullptr, kFirstValue + int(i)});
    }
    table.push_back({nullptr, 0, nullptr, 0});
    int value = 0;
    while ((value = getopt_long(argc, argv, "", table.data(), nullptr)) != -1) {
        const size_t index = size_t(value - kFirstValue);
        if (value < kFirstValue || index >= g_options.size())
            Fail("unknown option");
        g_current = g_options[index].name;
        g_options[index].apply(optarg);
    }
    if (help) {
        PrintUsage(stdout);
        return 0;
    }
    if (optind < argc)
        Fail(std::string("unexpected argument: ") + argv[optind]);
    if (sim.linkPath.empty())
        Fail("--link PATH is required");

    Vantrek vantrek(device);
    SimLink link(vantrek, sim);
    std::string error;
    if (!link.Open(error)) {
        std::fprintf(stderr, "vantrek-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("vantrek-sim: %s -> %s (pid %d)\n", sim.linkPath.c_str(), link.SlaveName().c_str(),
                int(getpid()));
    std::fflush(stdout);
    link.Run();
    return 0;
}
