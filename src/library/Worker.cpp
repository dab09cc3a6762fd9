#include "library/Worker.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <vector>

namespace {
// The workers started by library windows, still running; touched on the
// windows' thread only. Never freed: a worker may outlive every window.
std::vector<QThread*>* const g_workers = new std::vector<QThread*>;
} // namespace

void KeepLibraryWorker(QThread* thread) {
    g_workers->push_back(thread);
    QObject::connect(thread, &QThread::finished, thread, [thread]() {
        std::erase(*g_workers, thread);
        thread->deleteLater();
    });
}

bool WaitForLibraryWorkers(int ms) {
    const QDeadlineTimer deadline(ms);
    for (QThread* t : std::vector<QThread*>(*g_workers))
        if (!t->wait(deadline))
            return false;
    // Their last reports and the threads' own ends arrive as events.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    return g_workers->empty();
}
