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

// Commands picked by the start of their text and, after an "@", which one of
// those that begin so (the first when none is given).
class CommandPicks {
public:
    void Add(const std::string& pick);
    // True, and the pick used up, when `line` is a command picked.
    bool Take(const std::string& line);

private:
    struct Pick {
        std::string start;
        int nth = 1;
        int seen = 0;
    };
    std::vector<Pick> m_picks;
};

struct LinkFaults {
    int noisePercent = 0; // replies preceded by random bytes
    int dropPercent = 0;  // replies never sent
    // Commands whose reply is never sent.
    CommandPicks dropReplyTo;
    // Commands whose reply is held back for holdSeconds, and commands whose
    // reply is held back after a stray line.
    CommandPicks holdReplyTo;
    CommandPicks strayBeforeReplyTo;
    double holdSeconds = 1;
    // Commands whose reply comes twice; whose reply comes after the next
    // one; whose reply loses overrunDigits characters from its middle (a
    // receive overrun); and upload records the Vantrek refuses ("ERR").
    CommandPicks twiceReplyTo;
    CommandPicks swapReplyTo;
    CommandPicks overrunReplyTo;
    int overrunDigits = 16;
    CommandPicks refuseRecord;
    // The Vantrek restarts when this data block is first asked for: it hears
    // nothing for resetSeconds, then its first status says it is idle.
    int resetAtBlock = -1;
    double resetSeconds = 3;
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
    // The reply as the link delivers it (a receive overrun).
    void Overrun(std::string& reply);
    // Sends a reply, noted in the transcript as made (unless `note` is false:
    // a second copy), then spoilt by the faults asked for.
    void Send(std::string reply, double now, bool overrun = false, bool note = true);
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
    std::string m_swapped; // a reply that goes after the next one
    int m_idleReplies = 0; // status replies still to say idle after a restart
};
