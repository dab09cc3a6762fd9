#pragma once
// The scan of the library's folders: lists every "*.kjr" below each root,
// reads the files that are new or changed with the report reader, and
// records them in the store. It only ever reads in the folders.
//
// A root that cannot be reached (absent, unreadable, an unmounted mount
// point, or one that would lose most of its joints at once) is not scanned:
// its joints are offline, not gone. Files are marked missing only from a
// complete listing of a reachable root, and never by a cancelled scan.
// Runs on any thread but the window's, with a store opened on that thread.

#include "library/LibraryStore.h"

#include <QStringList>
#include <atomic>
#include <functional>

struct ScanSummary {
    QStringList added; // full paths
    QStringList updated;
    QStringList restored; // missing files that came back unchanged
    QStringList missing;
    QStringList offline;    // roots
    QStringList suspect;    // of those, roots that are there but empty or
                            // lost most of their joints at once
    QStringList unreadable; // "path: reason"
    QStringList problems;   // folders that could not be listed, store failures
    int unchanged = 0;
    bool cancelled = false;
    bool storeFailed = false;
};

class CLibraryScanner {
public:
    // Files larger than this are no report (a real one is far smaller).
    static constexpr qint64 kMaxReportBytes = 64 * 1024 * 1024;
    // Writes are committed after this many files or this much time.
    static constexpr int kBatchFiles = 200;
    static constexpr int kBatchMs = 250;

    explicit CLibraryScanner(CLibraryStore& store) : m_store(store) {}

    // Checked between files; a set flag ends the scan with what it has.
    void SetCancelFlag(const std::atomic<bool>* cancel) { m_pCancel = cancel; }
    // Roots the user said were emptied on purpose: their vanished files are
    // marked missing even when most or all of them went at once.
    void SetConfirmedRemovals(const QStringList& roots);
    // Called after each file: files done, files listed so far.
    void SetProgress(std::function<void(int, int)> progress) { m_progress = std::move(progress); }

    ScanSummary Scan(const QStringList& roots);

private:
    bool Cancelled() const { return m_pCancel && m_pCancel->load(); }
    void ScanRoot(const LibraryRoot& root, ScanSummary& summary);

    CLibraryStore& m_store;
    const std::atomic<bool>* m_pCancel = nullptr;
    std::function<void(int, int)> m_progress;
    QStringList m_confirmed;
    int m_nDone = 0;
    int m_nListed = 0;
};

// A root path as the library keeps it: absolute and clean.
QString LibraryRootPath(const QString& folder);
