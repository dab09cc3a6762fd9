#include "library/ChangeNotices.h"

#include "library/LibraryStore.h"
#include "library/PostgresIndex.h"
#include "library/Worker.h"

#include <QAtomicInteger>
#include <QFile>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>
#include <functional>
#include <sys/stat.h>

namespace {
int g_heartbeatMs = 10000;
// Notices closer together than this are said once.
constexpr int kCoalesceMs = 300;
QAtomicInteger<int> g_listeners;

quint64 InodeOf(const QString& path) {
    struct stat st {};
    return stat(QFile::encodeName(path).constData(), &st) == 0 ? quint64(st.st_ino) : 0;
}
} // namespace

// The owner's end, on the owner's thread: the listener reports through it,
// and the owner cuts it when it goes. Outlives both.
class CNoticeLink : public QObject {
public:
    CChangeNotices* owner = nullptr;
};

// Lives in the listener's thread: its connection, heartbeat and notices.
class CListenWorker : public QObject {
public:
    CListenWorker(LibraryLocation location, CNoticeLink* link)
        : m_location(std::move(location)), m_pLink(link),
          m_name(QStringLiteral("vtq-library-listener-%1").arg(g_listeners.fetchAndAddRelaxed(1))) {
    }

    void Start() {
        m_pBeat = new QTimer(this);
        m_pBeat->setInterval(g_heartbeatMs);
        connect(m_pBeat, &QTimer::timeout, this, [this]() { Beat(); });
        m_pCoalesce = new QTimer(this);
        m_pCoalesce->setSingleShot(true);
        m_pCoalesce->setInterval(kCoalesceMs);
        connect(m_pCoalesce, &QTimer::timeout, this, [this]() { Tell(&Changed); });
        m_pBeat->start();
        Connect();
    }

    void Stop() {
        Close();
        m_pLink->deleteLater();
        deleteLater();
        QThread::currentThread()->quit();
    }

private:
    // Says something on the owner's thread, if the owner is still there.
    void Tell(std::function<void(CChangeNotices*)> say) {
        CNoticeLink* link = m_pLink;
        QMetaObject::invokeMethod(
            link,
            [link, say = std::move(say)]() {
                if (link->owner)
                    say(link->owner);
            },
            Qt::QueuedConnection);
    }
    static void Changed(CChangeNotices* n) { Q_EMIT n->Changed(); }
    static void Back(CChangeNotices* n) { Q_EMIT n->Back(); }
    void Lost(const QString& why) {
        Tell([why](CChangeNotices* n) { Q_EMIT n->Lost(why); });
    }

    void Close() {
        if (!m_db.isValid())
            return;
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }

    void Connect() {
        Close();
        QString error;
        const bool ok = ConnectServer(m_db, m_name, m_location, true,
                                      QStringLiteral("vtq-library listener"), error) &&
                        m_db.driver()->subscribeToNotification(kChangeChannel);
        if (!ok) {
            if (error.isEmpty())
                error = m_db.driver()->lastError().text();
            Close();
            if (!m_bLost)
                Lost(error);
            m_bLost = true;
            return;
        }
        connect(m_db.driver(), &QSqlDriver::notification, this,
                [this](const QString& name, QSqlDriver::NotificationSource, const QVariant&) {
                    if (name == kChangeChannel && !m_pCoalesce->isActive())
                        m_pCoalesce->start();
                });
        if (m_bLost) {
            // What was committed meanwhile was not heard of.
            m_bLost = false;
            Tell(&Back);
            Tell(&Changed);
        }
    }

    void Beat() {
        if (!m_db.isOpen()) {
            Connect();
            return;
        }
        QSqlQuery q(m_db);
        if (q.exec(QStringLiteral("SELECT 1")))
            return;
        const QString why = q.lastError().databaseText().section(QLatin1Char('\n'), 0, 0);
        q.finish();
        Close();
        m_bLost = true;
        Lost(QStringLiteral("The connection to the library's server %1 was lost (%2); it is "
                            "tried again.")
                 .arg(m_location.Display(), why));
        Connect();
    }

    LibraryLocation m_location;
    CNoticeLink* m_pLink;
    QString m_name;
    QSqlDatabase m_db;
    QTimer* m_pBeat = nullptr;
    QTimer* m_pCoalesce = nullptr;
    bool m_bLost = false;
};

void CChangeNotices::SetHeartbeatForTests(int ms) {
    g_heartbeatMs = ms > 0 ? ms : 10000;
}

CChangeNotices::CChangeNotices(const QString& database, QObject* parent)
    : QObject(parent), m_database(database) {
    const LibraryLocation location = ParseLibraryLocation(database);
    if (location.server) {
        auto* link = new CNoticeLink;
        link->owner = this;
        m_pThread = new QThread;
        m_pWorker = new CListenWorker(location, link);
        m_pWorker->moveToThread(m_pThread);
        CListenWorker* worker = m_pWorker;
        connect(m_pThread, &QThread::started, worker, [worker]() { worker->Start(); });
        KeepLibraryWorker(m_pThread);
        m_pThread->start();
        m_pLink = link;
        return;
    }
    m_pTimer = new QTimer(this);
    m_pTimer->setInterval(1000);
    connect(m_pTimer, &QTimer::timeout, this, &CChangeNotices::LookNow);
    m_pTimer->start();
    LookNow();
}

CChangeNotices::~CChangeNotices() {
    if (m_pLink)
        m_pLink->owner = nullptr;
    if (m_pWorker) {
        CListenWorker* worker = m_pWorker;
        QMetaObject::invokeMethod(
            worker, [worker]() { worker->Stop(); }, Qt::QueuedConnection);
    }
}

void CChangeNotices::LookNow() {
    if (m_pWorker)
        return;
    // A new file in the index's place (set aside and built again) is a new
    // index: the old connection would see the old file for ever.
    if (m_pStore && InodeOf(m_pStore->Path()) != m_nInode)
        m_pStore.reset();
    if (!m_pStore) {
        auto store = std::make_unique<CLibraryStore>(m_database);
        if (store->Open(CLibraryStore::Mode::Read) != CLibraryStore::OpenResult::Ok)
            return;
        m_pStore = std::move(store);
        m_nCounter = m_pStore->ChangeCounter();
        m_nInode = InodeOf(m_pStore->Path());
        Q_EMIT Changed();
        return;
    }
    const qint64 counter = m_pStore->ChangeCounter();
    if (counter != m_nCounter) {
        m_nCounter = counter;
        Q_EMIT Changed();
    }
}
