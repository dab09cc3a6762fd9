#pragma once
// The simulator's side of the serial link: a pseudo-terminal whose slave is
// linked at a chosen path, the command lines read from it, the replies
// written back with the faults asked for, and a transcript of both.

#include "Vantrek.h"

#include <cstdio>
#include <deque>
#include <random>
#include <string>
#include <vector>

struct LinkFaults {
    int noisePercent = 0; // replies preceded by random bytes
    int dropPercent = 0;  // replies never sent
    // Commands whose first reply is never sent, by the start of their text.
    std::vector<std::string> dropFirstReplyTo;
    // Commands whose first reply is held back for holdSeconds, and commands
    // whose first reply is held back after a stray line, by their start.
    std::vector<std::string> holdFirstReplyTo;
    std::vector<std::string> strayBeforeReplyTo;
    double holdSeconds = 1;
    int ffFirstPercent = 0;   // replies whose first byte arrives as 0xFF
    int chunkBytes = 0;       // replies written in pieces of this size (0: whole)
    int chunkDelayMs = 20;    // pause between the pieces
    double stallSeconds = 10; // silence on SIGUSR2 or after stallAfter commands
    int stallAfter = -1;
    unsigned seed = 1;
};

struct SimOptions {
    std::string linkPath;
    std::string transcriptPath;
    double timeScale = 1;    // device seconds per real second
    double buttonAfter = -1; // press the button this many seconds after start
    LinkFaults faults;
};

class SimLink {
public:
    SimLink(Vantrek& vantrek, const SimOptions& options);
    ~SimLink();
    SimLink(const SimLink&) = delete;
    SimLink& operator=(const SimLink&) = delete;

    // Opens the pseudo-terminal and links it; false with `error` set on failure.
    bool Open(std::string& error);
    const std::string& SlaveName() const { return m_slaveName; }

    // Serves until SIGTERM, SIGINT or SIGHUP. SIGUSR1 presses the button,
    // SIGUSR2 stalls the link.
    void Run();

private:
    struct Chunk {
        std::string bytes;
        double notBefore;
    };

    void HandleLine(const std::string& line, double now);
    void Send(std::string reply, double now);
    // A line of random bytes, not a reply, sent at once.
    void SendStray(double now);
    void Note(char direction, const std::string& text);
    void WritePending(double now);
    bool Chance(int percent);

    Vantrek& m_vantrek;
    SimOptions m_options;
    int m_master = -1;
    int m_slave = -1; // held open so the link survives the program closing it
    std::string m_slaveName;
    bool m_linked = false;
    FILE* m_transcript = nullptr;
    std::string m_line;
    std::deque<Chunk> m_out;
    std::mt19937 m_random;
    int m_commands = 0;
    double m_stallUntil = -1;
};
