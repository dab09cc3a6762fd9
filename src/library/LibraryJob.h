#pragma once
// What a writer does to the library, as one job under the scan lock: the
// changes of the library's folders first (they take effect here, never in
// the middle of a scan), then forgetting missing files or a scan. The
// command line and the window's worker run the same jobs. On a server the
// job opens its connection first and takes the lock on it; a library there
// indexes named roots only (an office's folders mean the same on every
// desk), so the settings' folders of this PC are not scanned.

#include "library/LibraryFolders.h"
#include "library/LibraryScanner.h"
#include "library/NamedRoots.h"
#include "library/ProcedureSource.h"
#include "library/VerdictBook.h"

#include <atomic>
#include <functional>
#include <optional>
#include <vector>

struct LibraryJob {
    QString database;
    QString what = QStringLiteral("vtq-library"); // the lock holder's name
    int waitMs = 0;                               // how long to wait for the scan lock
    // Folder changes.
    QStringList removedFolders;  // roots found at these folders leave the library
    std::vector<qint64> retired; // roots that leave it (a card reformatted)
    // Forgetting: the missing files older than the age (ms; < 0: none), only
    // those of `forgetIds` when it is not empty.
    qint64 forgetAgeMs = -1;
    std::vector<qint64> forgetIds;
    // The scan: of these folders, when `scan`; or, when `settings` is
    // given, of the folders they name (found on the worker: looking for a
    // card lists the media folders).
    bool scan = false;
    QStringList folders;
    std::optional<LibraryFolderSettings> settings;
    std::vector<RootMapping> named; // this desk's folders of named roots
    QStringList confirmed;          // emptied on purpose
    QStringList hereNow;
    int probeMs = CLibraryScanner::kProbeMs;
    // Without a scan: these files (full paths) read and recorded where
    // they are new or changed (a folder's watch saw them).
    QStringList files;
    // Where the scan finds the procedure rules and the machine list; read,
    // with the procedure files they name, on the worker. Null: the shipped
    // procedure for every joint, no machine list.
    std::shared_ptr<const CProcedureSource> procedures;
};

struct LibraryJobResult {
    enum Outcome { Done, Busy, Failed } outcome = Failed;
    // Busy: who holds the lock; Failed: why; Done: what opening the index
    // said (set aside and rebuilt, kept on local disk), or empty.
    QString message;
    bool rebuilt = false; // the index was set aside and made anew
    ScanSummary summary;
    std::vector<ForgetItem> forgotten;
    int forgottenCount = 0;
    // What the scan judged by (its Problems() are among the summary's).
    std::shared_ptr<const CVerdictBook> verdicts;
};

// `progress`: files done, files listed so far; `folder`: the folder read now.
LibraryJobResult RunLibraryJob(LibraryJob job, const std::atomic<bool>* cancel = nullptr,
                               std::function<void(int, int)> progress = {},
                               std::function<void(const QString&)> folder = {});
