#pragma once
// Work off the window's thread: a worker runs a function and hands its
// result back to the window's thread through a link, unless the window cut
// the link by then (it stopped waiting: Cancel, a newer request, closing).
// Nothing waits for a worker: one stuck on a folder that stopped answering
// ends by itself and reports to nobody.

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <functional>

// The window's end of a worker; lives on the window's thread and outlives
// the window when the worker does.
class CWorkerLink : public QObject {
public:
    bool attached = true;
    // Runs `report` on the link's thread, unless cut by then.
    void Post(std::function<void()> report) {
        QMetaObject::invokeMethod(
            this,
            [this, report = std::move(report)]() {
                if (attached)
                    report();
            },
            Qt::QueuedConnection);
    }
};

// Registers a started worker thread, so that WaitForLibraryWorkers knows it.
void KeepLibraryWorker(QThread* thread);

// Runs `work` on a worker and `done` with its result on this thread, unless
// the link was cut by then; `done` may take what the result holds.
template <typename Result>
CWorkerLink* RunOnWorker(std::function<Result(CWorkerLink*)> work,
                         std::function<void(Result&)> done) {
    auto* link = new CWorkerLink;
    QThread* thread = QThread::create([link, work = std::move(work), done = std::move(done)]() {
        Result result = work(link);
        QMetaObject::invokeMethod(
            link,
            [link, done, result = std::move(result)]() mutable {
                if (link->attached)
                    done(result);
                link->deleteLater();
            },
            Qt::QueuedConnection);
    });
    KeepLibraryWorker(thread);
    thread->start();
    return link;
}

// Cuts a link (the window no longer waits for its worker) and forgets it.
inline void CutLink(CWorkerLink*& link) {
    if (link)
        link->attached = false;
    link = nullptr;
}

// Waits up to `ms` for every worker any library window started to end; true
// when none is left. For tests and for leaving cleanly.
bool WaitForLibraryWorkers(int ms);
