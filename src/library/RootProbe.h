#pragma once
// Whether a library folder answers, asked in a child process with a
// deadline: a hard NFS mount or a stuck FUSE mount blocks a stat in the
// kernel, and a thread blocked there can be neither cancelled nor joined.
// The child is left to the system when it does not answer; the caller goes
// on at the deadline, or at once when cancelled.

#include <QByteArray>
#include <QString>
#include <atomic>
#include <sys/types.h>

struct RootProbe {
    enum Outcome { Answered, NoAnswer, Cancelled, Failed };
    Outcome outcome = Failed;
    int error = 0; // errno of looking at the folder; 0 when it is a readable folder
    bool directory = false;
    dev_t device = 0;
    dev_t parentDevice = 0;
    bool empty = false; // nothing in it but "." and ".."
};

// Looks at the folder `path` (bytes, absolute) within `deadlineMs`.
RootProbe ProbeRoot(const QByteArray& path, int deadlineMs, const std::atomic<bool>* cancel);

// Why a folder that was probed cannot be used, for people.
QString ProbeReason(const RootProbe& probe, int deadlineMs, bool askedTwice = true);

// Runs in the child before it looks at `path`; a test makes it block, as a
// share that stopped answering does. Null: none.
void SetProbeHookForTests(void (*hook)(const char* path));
