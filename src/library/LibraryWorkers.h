#pragma once
// The threads the library's windows start (scans, exports, checks, reads,
// the listener of a server's notices): each is tracked until it ends, so
// that a test, or the program leaving, can wait for all of them with a
// bound. A thread stuck on a folder or a server that stopped answering is
// never waited for by a window: it ends by itself.

class QThread;

// Tracks `thread` (started, or about to be) until it finishes, then
// deletes it; call on the windows' thread.
void TrackLibraryWorker(QThread* thread);
// Waits up to `ms` for every tracked thread to end; true when none is left.
bool WaitForLibraryWorkers(int ms);
