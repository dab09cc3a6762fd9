#pragma once
// The scan lock of a library index: held by a scan, a forget-missing or a
// change of the library's folders, from its start to its end, so that two
// of them never interleave. Readers never take it, and short writes rely on
// the database's own write lock. Either way it goes with its holder, so a
// crash never leaves the library locked, and whoever finds it taken learns
// who holds it (program, host, process, since when):
// - beside an SQLite index, an advisory lock (flock) on a file that names
//   the holder;
// - on a server, a session advisory lock of the writer's own connection
//   (so that the writer never reconnects while it holds it: a new session
//   would not hold it), with a row naming the holder that is shown only
//   while that session holds the lock.

#include <QString>
#include <atomic>

class CLibraryStore;

class CScanLock {
public:
    enum Result { Taken, Busy, Failed };

    // The lock of the SQLite index at `databasePath`.
    explicit CScanLock(const QString& databasePath);
    // The lock of the server's library that `store` is open on, taken by
    // the store's session; the store then checks it before each commit.
    explicit CScanLock(CLibraryStore& store);
    ~CScanLock();
    CScanLock(const CScanLock&) = delete;
    CScanLock& operator=(const CScanLock&) = delete;

    // Takes the lock, waiting up to `waitMs` for its holder to let go (0:
    // not at all), or until `cancel` is set. `what` names the holder's
    // work ("vtq-library scan"); `sinceMs` is the time it starts (the
    // store's clock).
    Result Take(const QString& what, qint64 sinceMs, int waitMs = 0,
                const std::atomic<bool>* cancel = nullptr);
    bool Held() const { return m_fd >= 0 || m_bServerHeld; }
    void Release();

    // Who holds it, as one sentence, read from the lock file.
    QString Holder() const;
    // Lets go and removes the lock file when this lock made it: used when
    // what it was to guard turned out not to be an index (a file beside a
    // user's file named by mistake is no trace to leave).
    void Withdraw();
    const QString& Error() const { return m_error; }

private:
    Result TakeOnServer(const QString& what, qint64 sinceMs, int waitMs,
                        const std::atomic<bool>* cancel);

    CLibraryStore* m_pStore = nullptr;
    bool m_bServerHeld = false;
    QString m_path;
    QString m_error;
    int m_fd = -1;
    bool m_made = false;
};
