#pragma once
// Word that another program committed to the library, for a window that
// shows it. A server's library sends a notice with each writer's commit
// (LISTEN/NOTIFY): one connection listens, in a thread with its own event
// loop, and looks every 10 s whether the server still answers (SELECT 1);
// a lost connection is said, tried again at each look, and when it is back
// the notices are subscribed to again and a change is said (some may have
// been missed). Notices that come close together are said once. Nothing
// here runs a query on the thread that made it: a server that hangs holds
// the listener only.
//
// An SQLite index has no notices: its change counter (data_version) is
// looked at once a second, on a connection of its own.

#include <QObject>
#include <QString>
#include <memory>

class QThread;
class QTimer;
class CLibraryStore;
class CListenWorker;
class CNoticeLink;

class CChangeNotices : public QObject {
    Q_OBJECT
public:
    // Starts following the library at `database`.
    explicit CChangeNotices(const QString& database, QObject* parent = nullptr);
    // Never waits long for a listener stuck on a server that stopped
    // answering: it ends by itself.
    ~CChangeNotices() override;

    // Looks once now (an SQLite index's counter); tests and the timer.
    void LookNow();

    // How often the listener looks whether the server answers (ms).
    static void SetHeartbeatForTests(int ms);

Q_SIGNALS:
    void Changed();
    void Lost(const QString& why);
    void Back();

private:
    QString m_database;
    // A server's: the listener's thread and worker.
    QThread* m_pThread = nullptr;
    CListenWorker* m_pWorker = nullptr;
    CNoticeLink* m_pLink = nullptr;
    // An SQLite index's: its counter, on this thread.
    std::unique_ptr<CLibraryStore> m_pStore;
    qint64 m_nCounter = -1;
    quint64 m_nInode = 0;
    QTimer* m_pTimer = nullptr;
};
