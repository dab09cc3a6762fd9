// vantrek-sim: a Vantrek on a pseudo-terminal, for the demo and the tests.

#include "SimLink.h"
#include "Vantrek.h"

#include <cstdio>
#include <cstdlib>
#include <getopt.h>
#include <string>
#include <unistd.h>

namespace {
const char kUsage[] =
    "usage: vantrek-sim --link PATH [options]\n"
    "Links a pseudo-terminal at PATH and answers the handheld's commands on it\n"
    "until killed. SIGUSR1 presses the Vantrek's button (calibration dialogue),\n"
    "SIGUSR2 stalls the link.\n"
    "\n"
    "  --transcript FILE       write every command received and reply sent\n"
    "  --time-scale X          device seconds per real second (default 1)\n"
    "  --battery N             battery percent (default 87; 20 makes it warn)\n"
    "  --temp F                heater temperature in F (default 430)\n"
    "  --no-temp               no heater temperature to show\n"
    "  --pressure PSI          gauge pressure while not logging (default 0)\n"
    "  --profile B,S,F,C       bead, soak, fuse and cool psi (default 350,30,350,320)\n"
    "  --sample-interval N     time units of 0.2 s between samples (default 5)\n"
    "  --block-records N       samples per download block (default 32)\n"
    "  --model TEXT            model code, four characters (default KVTQ)\n"
    "  --version TEXT          version text, six characters (default v2.1.4)\n"
    "  --cal-date YYYYMMDD     calibration date (default 20240115)\n"
    "  --serial N              serial number; 0 asks for one in calibration (default 42)\n"
    "  --offsets P,T           pressure and temperature offsets (default 11801,8000)\n"
    "  --calibrate[=SECONDS]   press the button SECONDS after start (default 0)\n"
    "Faults:\n"
    "  --noise PCT             random bytes before PCT%% of the replies\n"
    "  --drop PCT              PCT%% of the replies never sent\n"
    "  --ff-first PCT          first byte of PCT%% of the replies sent as 0xFF\n"
    "  --chunk N               replies written N bytes at a time\n"
    "  --chunk-delay MS        pause between the pieces (default 20)\n"
    "  --stall SECONDS         length of a stall (default 10)\n"
    "  --stall-after N         stall after answering N commands\n"
    "  --seed N                seed of the random faults (default 1)\n";

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "vantrek-sim: %s\n%s", message.c_str(), kUsage);
    std::exit(2);
}

double Number(const char* text, const char* option, double low, double high) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || value < low || value > high)
        Fail(std::string("bad value for --") + option + ": " + text);
    return value;
}

int Integer(const char* text, const char* option, int low, int high) {
    const double value = Number(text, option, low, high);
    if (value != static_cast<int>(value))
        Fail(std::string("--") + option + " takes a whole number: " + text);
    return static_cast<int>(value);
}

void Pair(const char* text, const char* option, int& first, int& second) {
    int used = 0;
    if (std::sscanf(text, "%d,%d%n", &first, &second, &used) != 2 || text[used] != '\0')
        Fail(std::string("--") + option + " takes two numbers, as 11801,8000");
}
} // namespace

int main(int argc, char** argv) {
    enum {
        kLink = 256,
        kTranscript,
        kTimeScale,
        kBattery,
        kTemp,
        kNoTemp,
        kPressure,
        kProfile,
        kSampleInterval,
        kBlockRecords,
        kModel,
        kVersion,
        kCalDate,
        kSerial,
        kOffsets,
        kCalibrate,
        kNoise,
        kDrop,
        kFfFirst,
        kChunk,
        kChunkDelay,
        kStall,
        kStallAfter,
        kSeed,
        kHelp
    };
    static const option kOptions[] = {
        {"link", required_argument, nullptr, kLink},
        {"transcript", required_argument, nullptr, kTranscript},
        {"time-scale", required_argument, nullptr, kTimeScale},
        {"battery", required_argument, nullptr, kBattery},
        {"temp", required_argument, nullptr, kTemp},
        {"no-temp", no_argument, nullptr, kNoTemp},
        {"pressure", required_argument, nullptr, kPressure},
        {"profile", required_argument, nullptr, kProfile},
        {"sample-interval", required_argument, nullptr, kSampleInterval},
        {"block-records", required_argument, nullptr, kBlockRecords},
        {"model", required_argument, nullptr, kModel},
        {"version", required_argument, nullptr, kVersion},
        {"cal-date", required_argument, nullptr, kCalDate},
        {"serial", required_argument, nullptr, kSerial},
        {"offsets", required_argument, nullptr, kOffsets},
        {"calibrate", optional_argument, nullptr, kCalibrate},
        {"noise", required_argument, nullptr, kNoise},
        {"drop", required_argument, nullptr, kDrop},
        {"ff-first", required_argument, nullptr, kFfFirst},
        {"chunk", required_argument, nullptr, kChunk},
        {"chunk-delay", required_argument, nullptr, kChunkDelay},
        {"stall", required_argument, nullptr, kStall},
        {"stall-after", required_argument, nullptr, kStallAfter},
        {"seed", required_argument, nullptr, kSeed},
        {"help", no_argument, nullptr, kHelp},
        {nullptr, 0, nullptr, 0}};

    VantrekSettings device;
    SimOptions sim;
    int choice = 0;
    while ((choice = getopt_long(argc, argv, "", kOptions, nullptr)) != -1) {
        const char* name = choice >= kLink && choice <= kHelp ? kOptions[choice - kLink].name : "";
        switch (choice) {
        case kLink:
            sim.linkPath = optarg;
            break;
        case kTranscript:
            sim.transcriptPath = optarg;
            break;
        case kTimeScale:
            sim.timeScale = Number(optarg, name, 0.001, 10000);
            break;
        case kBattery:
            device.battery = Integer(optarg, name, 0, 999);
            break;
        case kTemp:
            device.temperature = Integer(optarg, name, 0, 999);
            break;
        case kNoTemp:
            device.temperatureShown = false;
            break;
        case kPressure:
            device.idlePressure = Integer(optarg, name, -999, 9999);
            break;
        case kProfile: {
            FusionPressures& psi = device.profile;
            int used = 0;
            if (std::sscanf(optarg, "%d,%d,%d,%d%n", &psi.bead, &psi.soak, &psi.fuse, &psi.cool,
                            &used) != 4 ||
                optarg[used] != '\0')
                Fail("--profile takes four numbers, as 350,30,350,320");
            break;
        }
        case kSampleInterval:
            device.sampleUnits = Integer(optarg, name, 1, 9999);
            break;
        case kBlockRecords:
            device.blockRecords = Integer(optarg, name, 1, 300);
            break;
        case kModel:
            device.model = optarg;
            break;
        case kVersion:
            device.version = optarg;
            break;
        case kCalDate:
            device.calDate = optarg;
            if (device.calDate.size() != 8 ||
                device.calDate.find_first_not_of("0123456789") != std::string::npos)
                Fail("--cal-date takes eight digits, as 20240115");
            break;
        case kSerial:
            device.serial = Integer(optarg, name, 0, 9999);
            break;
        case kOffsets:
            Pair(optarg, name, device.pressureOffset, device.temperatureOffset);
            break;
        case kCalibrate:
            sim.buttonAfter = optarg ? Number(optarg, name, 0, 1e6) : 0;
            break;
        case kNoise:
            sim.faults.noisePercent = Integer(optarg, name, 0, 100);
            break;
        case kDrop:
            sim.faults.dropPercent = Integer(optarg, name, 0, 100);
            break;
        case kFfFirst:
            sim.faults.ffFirstPercent = Integer(optarg, name, 0, 100);
            break;
        case kChunk:
            sim.faults.chunkBytes = Integer(optarg, name, 1, 4096);
            break;
        case kChunkDelay:
            sim.faults.chunkDelayMs = Integer(optarg, name, 0, 10000);
            break;
        case kStall:
            sim.faults.stallSeconds = Number(optarg, name, 0, 1e6);
            break;
        case kStallAfter:
            sim.faults.stallAfter = Integer(optarg, name, 0, 1000000000);
            break;
        case kSeed:
            sim.faults.seed = unsigned(Integer(optarg, name, 0, 1000000000));
            break;
        case kHelp:
            std::fputs(kUsage, stdout);
            return 0;
        default:
            Fail("unknown option");
        }
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
