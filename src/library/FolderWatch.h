#pragma once
// Watching the library's folders, so that a report that arrives is in the
// table without anyone pressing "Scan".
//
// Local folders are watched with inotify on every folder below them (Qt's
// watcher misses a file rewritten in place and says nothing when events
// were lost): a report closed after writing, moved in or created is read
// once it has stopped changing (two looks a moment apart agree), a batch
// at a time. A report deleted or moved away, a folder gone, or events lost
// (the queue overflowed) only ask for a complete scan: missing is told
// from complete listings alone. Folders on network file systems (where
// another machine's changes send no events) and folders that cannot be
// watched (the system's limit of watches) are rescanned on a timer
// instead, and the watch says so. Mounts and unmounts are seen from
// /proc/self/mountinfo: a card put in the reader, or a share mounted where
// a folder of the library lies, asks for a scan.
//
// All of it runs on a thread of its own: the window's thread touches no
// folder. Closing never waits for that thread.

#include <QObject>
#include <QStringList>
#include <memory>

class CWorkerLink;

class CFolderWatch : public QObject {
    Q_OBJECT
public:
    // How long a file must keep its size and time before it is read.
    static constexpr int kSettleMs = 1000;

    explicit CFolderWatch(QObject* parent = nullptr);
    ~CFolderWatch() override;

    // Tests make files settle sooner.
    void SetSettleMs(int ms);

    // The folders to watch (those of the library the index knows), and
    // where cards are mounted; replaces what was watched before.
    void SetFolders(const QStringList& folders, const QStringList& mediaFolders);

    enum State { Watched, Network, Failed };

Q_SIGNALS:
    // Reports (full paths) that arrived or changed and stopped changing.
    void FilesReady(const QStringList& paths);
    // Something only a complete scan can tell (why, for the status line).
    void ScanWanted(const QString& why);
    // How a folder is followed: watched; or rescanned on the timer, on a
    // network file system or because watching failed (why).
    void FolderState(const QString& folder, int state, const QString& why);

public:
    // What the window and the watching thread share.
    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
    CWorkerLink* m_pLink = nullptr;
};
