#pragma once
// One program at a time per library index: an advisory lock (flock) on a
// file beside the database. The system drops it when the process ends, so a
// crash never leaves the library locked.

#include <QString>

class CLibraryLock {
public:
    explicit CLibraryLock(const QString& databasePath);
    ~CLibraryLock();
    CLibraryLock(const CLibraryLock&) = delete;
    CLibraryLock& operator=(const CLibraryLock&) = delete;

    // Takes the lock without waiting; false when another program holds it
    // or the lock file cannot be made.
    bool TryLock();
    bool Held() const { return m_fd >= 0; }

private:
    QString m_path;
    int m_fd = -1;
};
