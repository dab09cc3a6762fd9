#include "library/LibraryJob.h"

#include "library/ScanLock.h"
#include "library/SqliteIndexFile.h"

#include <QFileInfo>
#include <QSqlDatabase>

namespace {
// The job's work, with the store open for writing and the lock held.
void Work(CLibraryStore& store, const LibraryJob& job, LibraryJobResult& result,
          const std::atomic<bool>* cancel, std::function<void(int, int)> progress,
          std::function<void(const QString&)> folder) {
    const auto fail = [&]() {
        result.message = store.Message();
        result.outcome = LibraryJobResult::Failed;
    };
    if (!job.removedFolders.isEmpty() || !job.retired.empty()) {
        const auto roots = store.Roots();
        if (!roots)
            return fail();
        std::vector<qint64> gone = job.retired;
        for (const LibraryRoot& r : *roots)
            if (job.removedFolders.contains(r.source) && !job.folders.contains(r.source))
                gone.push_back(r.id);
        if (!store.RemoveRoots(gone))
            return fail();
    }
    if (job.forgetAgeMs >= 0) {
        const auto items = store.MissingOlderThan(job.forgetAgeMs);
        if (!items)
            return fail();
        std::vector<qint64> ids;
        for (const ForgetItem& item : *items)
            if (job.forgetIds.empty() || std::find(job.forgetIds.begin(), job.forgetIds.end(),
                                                   item.fileId) != job.forgetIds.end()) {
                ids.push_back(item.fileId);
                result.forgotten.push_back(item);
            }
        result.forgottenCount = store.Forget(ids, job.forgetAgeMs);
        if (result.forgottenCount < 0)
            return fail();
    }
    CLibraryScanner scanner(store);
    scanner.SetCancelFlag(cancel);
    scanner.SetProgress(std::move(progress));
    scanner.SetFolderReport(std::move(folder));
    if (job.scan || !job.files.isEmpty()) {
        // Files a watch saw are judged like those of a scan.
        result.verdicts =
            CVerdictBook::Load(job.procedures ? job.procedures->Read() : ProcedureSettings());
        scanner.SetVerdicts(result.verdicts.get());
    }
    if (job.scan) {
        scanner.SetConfirmedRemovals(job.confirmed);
        scanner.SetHereNow(job.hereNow);
        scanner.SetProbeDeadline(job.probeMs);
        result.summary = scanner.Scan(job.folders, job.named);
    } else if (!job.files.isEmpty()) {
        result.summary = scanner.IndexFiles(job.files);
    }
    result.outcome = LibraryJobResult::Done;
}

// Whether the scan lock was taken; if not, `result` says why.
bool Took(const CScanLock& lock, CScanLock::Result taken, LibraryJobResult& result) {
    if (taken == CScanLock::Busy) {
        result.outcome = LibraryJobResult::Busy;
        result.message = lock.Holder();
    } else if (taken == CScanLock::Failed) {
        result.message = lock.Error();
    }
    return taken == CScanLock::Taken;
}

bool Opened(CLibraryStore::OpenResult opened) {
    return opened == CLibraryStore::OpenResult::Ok || opened == CLibraryStore::OpenResult::Rebuilt;
}
} // namespace

LibraryJobResult RunLibraryJob(LibraryJob job, const std::atomic<bool>* cancel,
                               std::function<void(int, int)> progress,
                               std::function<void(const QString&)> folder) {
    LibraryJobResult result;
    const LibraryLocation location = ParseLibraryLocation(job.database);
    if (!location.error.isEmpty()) {
        result.message = QStringLiteral("The library's address %1").arg(location.error);
        return result;
    }
    if (location.server)
        job.folders.clear(); // an office's library: named folders only
    else if (job.settings)
        job.folders = LibraryRoots(*job.settings);
    if (location.server) {
        // The lock is the session's: taken on the connection that writes,
        // which never reconnects while it holds it.
        CLibraryStore store(job.database);
        const CLibraryStore::OpenResult opened = store.Open(CLibraryStore::Mode::Write);
        result.message = store.Message();
        if (!Opened(opened))
            return result;
        CScanLock lock(store);
        if (!Took(lock, lock.Take(job.what, store.Now(), job.waitMs, cancel), result))
            return result;
        Work(store, job, result, cancel, std::move(progress), std::move(folder));
        return result;
    }
    // The lock lies beside the index in use (a local one stands in for one
    // asked for on a network file system).
    CScanLock lock(PlaceIndex(location.path, QString()).path);
    QSqlDatabase none;
    if (!Took(lock,
              lock.Take(job.what, SqliteDialect().NowMs(none).value_or(0), job.waitMs, cancel),
              result))
        return result;
    CLibraryStore store(job.database, 5000);
    const CLibraryStore::OpenResult opened = store.Open(CLibraryStore::Mode::Write);
    result.message = store.Message();
    result.rebuilt = opened == CLibraryStore::OpenResult::Rebuilt;
    if (opened == CLibraryStore::OpenResult::Busy) {
        result.outcome = LibraryJobResult::Busy;
        return result;
    }
    if (opened == CLibraryStore::OpenResult::Foreign || opened == CLibraryStore::OpenResult::TooNew)
        lock.Withdraw();
    if (!Opened(opened))
        return result;
    Work(store, job, result, cancel, std::move(progress), std::move(folder));
    return result;
}
