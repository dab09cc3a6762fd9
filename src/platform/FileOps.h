#pragma once
// The file operations a downloaded report goes through on its way to the
// disk: a file created only where none is, written through, held under a
// lock, flushed to the disk with its folder, and put in place by a rename
// that never replaces another file. Program code calls Files(); a test puts a
// FileOpsStandIn in its place to make a disk full, a folder that refuses
// fsync or a file system without renameat2.

#include <QByteArray>
#include <QString>
#include <sys/types.h>

class FileOps {
public:
    virtual ~FileOps() = default;

    // The system calls, each as the system has it: -1 with errno on failure.
    virtual int Open(const char* path, int flags, mode_t mode);
    virtual ssize_t WriteAt(int fd, const char* data, size_t size, off_t offset);
    virtual int Truncate(int fd, off_t size);
    virtual int Fsync(int fd);
    virtual int Close(int fd);
    virtual int Lock(int fd, int operation); // flock
    // renameat2 with RENAME_NOREPLACE.
    virtual int RenameNoReplace(const char* from, const char* to);
    virtual int Link(const char* from, const char* to);
    virtual int Rename(const char* from, const char* to);
    virtual int Unlink(const char* path);
    // fsync of a folder.
    virtual int SyncFolder(const char* folder);
};

// The operations in use: the system's, or a test's stand-in.
FileOps& Files();

// Stands in for the system's operations while it lives; a test derives from
// it and overrides what it wants to fail.
class FileOpsStandIn : public FileOps {
public:
    FileOpsStandIn();
    ~FileOpsStandIn() override;
    FileOpsStandIn(const FileOpsStandIn&) = delete;
    FileOpsStandIn& operator=(const FileOpsStandIn&) = delete;

private:
    FileOps* m_previous;
};

// Writes all of `bytes` at `offset`; false (errno set) when any of it could
// not be written.
bool WriteAllAt(int fd, const QByteArray& bytes, off_t offset);

// Renames `from` to `to` only when no file has that name: 0, EEXIST when one
// has, or another errno. Where the file system has no renameat2, a hard link
// and the removal of `from` do the same; where it has no hard links either,
// the name is claimed by creating it exclusively and `from` renamed onto that
// claim.
int RenameWithoutReplacing(const QString& from, const QString& to);

// Flushes the folder's entries to the disk. True also when the file system
// refuses to fsync a folder (that is no failed save); false on an error.
bool SyncFolderEntries(const QString& folder);

// The whole file, or nothing when it cannot be read whole.
bool ReadWholeFile(const QString& path, QByteArray& bytes);
