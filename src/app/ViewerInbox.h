#pragma once
// The viewer's door (platform/ViewerSocket.h) on the program's side: while
// the program is idle, a report handed to it is shown as File > Open shows
// one; while a window of its own is open (the Log/Status window, whose
// download owns the shown report, a setup, a box) it answers "busy" and
// the caller starts another program. Only the first program of a user
// listens; nothing of its windows changes.

#include <QObject>
#include <QString>
#include <functional>
#include <map>

class QSocketNotifier;

class CViewerInbox : public QObject {
public:
    // `idle` says whether a report may be shown now; `open` shows it.
    CViewerInbox(QString socketPath, std::function<bool()> idle,
                 std::function<void(const QString&)> open);
    ~CViewerInbox() override;

    bool Listening() const { return m_fd >= 0; }

private:
    void Accept();
    void Read(int fd);
    void Answer(int fd, const QByteArray& answer);

    QString m_path;
    std::function<bool()> m_idle;
    std::function<void(const QString&)> m_open;
    int m_fd = -1;
    QSocketNotifier* m_listening = nullptr;
    struct Caller {
        QSocketNotifier* notifier = nullptr;
        QByteArray line;
    };
    std::map<int, Caller> m_callers;
};
