#pragma once
// The scan of the library's folders: finds which root each folder is (a
// card by its volume, anything else by its path), lists every "*.kjr"
// below it, reads the files that are new or changed with the report reader,
// and records them in the store. It only ever reads in the folders.
//
// Nothing offline is taken for gone: a folder that does not answer within a
// deadline, is absent, unreadable, no longer mounted, or a card that is not
// in the reader, is offline with its reason and its joints are kept. A
// file is marked missing only from complete listings of a reachable root:
// the first one without it records when it went, a second one at least a
// day later makes it missing. A file that turns up elsewhere (the same
// SHA-256 in a reachable root) has moved. A root that would lose most of
// its joints at once is suspect (another card, or deleted?): its vanished
// files are offline until the user says. A cancelled scan keeps what it
// read and marks nothing; so does one whose store failed (a server gone
// away): it stops there, and the next scan goes on from what was
// committed.
//
// Named roots (NamedRoots.h) are scanned at this desk's folder for them;
// one whose folder holds none of the reports its fingerprint names is a
// wrong mapping, and is not indexed.
//
// Runs on any thread but the window's, with a store opened for writing on
// that thread, under the scan lock.

#include "library/LibraryStore.h"
#include "library/NamedRoots.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <atomic>
#include <functional>

struct ScanSummary {
    QStringList added; // full paths
    QStringList updated;
    QStringList restored; // files back unchanged (seen again)
    QStringList moved;    // "old path -> a copy's path"
    QStringList notFound; // not seen for the first time: missing if still gone a day later
    QStringList missing;  // missing now
    QStringList offline;  // roots (folders) that are offline or suspect
    QHash<QString, QString> offlineWhy; // their reasons
    QStringList suspect;                // of those, roots that lost most of their joints at once
    QStringList unreadable;             // "path: reason"
    // Read again, unchanged, because the verdict the index kept was not
    // current (its procedure, the procedure file, the machine list's entry
    // or the check changed).
    QStringList rejudged;
    QStringList problems; // folders that could not be listed, store failures
    int unchanged = 0;
    bool cancelled = false;
    bool storeFailed = false;
};

class CLibraryScanner {
public:
    // Writes are committed after this many files or this much time.
    static constexpr int kBatchFiles = 200;
    // The first commit of a scan comes sooner, for a window to show.
    static constexpr int kFirstBatchFiles = 20;
    static constexpr int kBatchMs = 250;
    // How long a folder has to answer; one that does not is asked once
    // more at the end of the scan (an automount or a disk spinning up).
    static constexpr int kProbeMs = 5000;
    // A file is missing after complete scans without it that span this.
    static constexpr qint64 kMissingAfterMs = 24LL * 3600 * 1000;

    explicit CLibraryScanner(CLibraryStore& store) : m_store(store) {}

    // Checked between files and while a folder is asked; a set flag ends
    // the scan with what it has.
    void SetCancelFlag(const std::atomic<bool>* cancel) { m_pCancel = cancel; }
    // Folders (or named roots) the user said were emptied on purpose: their
    // vanished files are missing at once, even when most or all of them
    // went together.
    void SetConfirmedRemovals(const QStringList& folders);
    // Folders (or named roots) the user said are here now: scanned even
    // where something else was mounted before, or the fingerprint differs.
    void SetHereNow(const QStringList& folders);
    void SetProbeDeadline(int ms) { m_nProbeMs = ms; }
    // Which procedure judges each joint, and the machine list (null: the
    // shipped procedure for every joint). Verdicts that are not what it
    // would make now are judged again as their files are met.
    void SetVerdicts(const class CVerdictBook* verdicts) { m_pVerdicts = verdicts; }
    // Called after each file: files done, files listed so far.
    void SetProgress(std::function<void(int, int)> progress) { m_progress = std::move(progress); }
    // Called with the folder being read when it changes.
    void SetFolderReport(std::function<void(const QString&)> report) {
        m_folderReport = std::move(report);
    }

    ScanSummary Scan(const QStringList& folders, const std::vector<RootMapping>& named = {});
    // Reads the files named (full paths) that lie in a reachable root the
    // index knows, and records the new and changed ones as a scan would.
    // A file is only ever added or brought up to date here: what vanished
    // is a complete scan's to tell.
    ScanSummary IndexFiles(const QStringList& paths);

private:
    bool Cancelled() const { return m_pCancel && m_pCancel->load(); }
    const CVerdictBook& Verdicts() const;
    // `source`: the library folder that led here (the folder itself, or
    // the folder a card was known by when it turns up elsewhere).
    bool ScanFolder(const QString& folder, const QString& source, bool lastTry);
    bool ScanNamed(const RootMapping& mapping, bool lastTry);
    bool StoreFailed();
    void ScanRoot(LibraryRoot root, const QString& folder, const struct RootProbe& probe);
    void Offline(LibraryRoot root, const QString& reason);
    void OfflineFolder(const QString& folder, const QString& reason);

    CLibraryStore& m_store;
    const std::atomic<bool>* m_pCancel = nullptr;
    std::function<void(int, int)> m_progress;
    std::function<void(const QString&)> m_folderReport;
    bool m_bCommitted = false;
    const CVerdictBook* m_pVerdicts = nullptr;
    QSet<qint64> m_stale;    // versions whose verdict is to be judged again
    QSet<QByteArray> m_cuts; // bytes seen as a cut download in this scan
    QStringList m_confirmed;
    QStringList m_hereNow;
    int m_nProbeMs = kProbeMs;
    int m_nDone = 0;
    int m_nListed = 0;
    qint64 m_now = 0;
    std::vector<LibraryRoot> m_known;
    QList<qint64> m_scanned;
    ScanSummary m_summary;
};
