#pragma once
// The library's window: the table of joints with its search, filters and
// count, and the scan, export, check, forget and folder commands.
//
// It reads the index on a worker, through a read-only connection of its
// own, and holds no lock, so other programs list, export and scan while it
// is open; it follows their commits (ChangeNotices.h: a server's notices,
// an SQLite index's change counter) and reads again. Nothing on its thread
// queries a server or touches a report folder: reading, probing, listing,
// PDF export and the check of a joint run on workers; writers run as jobs
// under the scan lock (LibraryJob.h). A server that cannot be reached is
// said above the table, and the window reads again when it is back. Cancel
// and closing never wait for a worker: a worker stuck on a folder or a
// server that stopped answering is left to end by itself.

#include "library/JointTableModel.h"
#include "library/LibraryJob.h"
#include "library/LibraryStore.h"
#include "library/LibraryWorkers.h"

#include <QElapsedTimer>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;
class QTimer;
class CChangeNotices;
class CWorkerLink;
struct LibrarySnapshot;

class CLibraryWindow : public QWidget {
    Q_OBJECT
public:
    explicit CLibraryWindow(const QString& databasePath, QWidget* parent = nullptr);
    ~CLibraryWindow() override;

    // Looks whether the index can be used (on a worker, waited for: the
    // window is not shown yet), then reads it and follows its changes;
    // false, after telling the user, when it cannot be used at all. An
    // SQLite index that is not there yet, or was made by an older program,
    // is made or brought up to date by the first scan; a server's library
    // only by init-database.
    bool OpenStore();
    // Reads the joints from the index again, on a worker, keeping the
    // selection; `then` runs when a reading asked for now has landed.
    void Reload(std::function<void()> then = {});
    bool Loading() const;
    // Looks at once whether another program committed (SQLite; a server
    // says so by itself).
    void FollowChanges();
    // What the window says about the library above its table (a server
    // that cannot be reached), or empty.
    QString StateText() const;

    // `confirmed`: folders whose vanished joints the user said are gone.
    void StartScan(const QStringList& confirmed = {});
    void CancelScan();
    bool Scanning() const { return m_pJobLink != nullptr; }
    const ScanSummary& LastScan() const { return m_lastScan; }
    // What the last job said (a busy library, an index set aside).
    const QString& LastJobMessage() const { return m_lastJobMessage; }

    // Reads the procedure files the rules name again, on a worker; the
    // verdicts are marked anew when they changed (ProceduresRead). The
    // window does it when it opens, every ten seconds, after a scan, and
    // when the rules name a file not read yet.
    void RefreshProcedures();

    void ExportList();
    void ExportPdfs();
    void ForgetMissing();
    void ShowCheck();
    void ShowFolders();
    void OpenSelected();

    // Where the user wants a file or folder written; empty for Cancel.
    // Tests answer for the user.
    std::function<QString(const QString& title, const QString& suggested)> m_askSavePath;
    std::function<QString(const QString& title)> m_askFolder;

    // Called on the scan's thread after each file; tests hold the scan here.
    std::function<void(int done, int total)> m_onWorkerProgress;
    // How long a folder has to answer a scan.
    int m_nProbeMs;

    CJointTableModel& Model() { return m_model; }
    QTableView* Table() { return m_pTable; }
    QLineEdit* SearchBox() { return m_pSearch; }
    QComboBox* StatusBox() { return m_pStatus; }
    QLabel* CountLabel() { return m_pCount; }
    QProgressBar* ProgressBar() { return m_pProgress; }
    QPushButton* CancelButton() { return m_pCancel; }
    std::vector<JointRow> SelectedRows() const;
    // The roots the last reading found, a named one as this desk reaches it.
    const std::vector<LibraryRoot>& KnownRoots() const { return m_roots; }

Q_SIGNALS:
    void ScanFinished();
    // A reading of the index has been shown.
    void Loaded();
    void ExportFinished();
    // The check of a joint was shown, or its failure told.
    void CheckFinished();
    // The procedure files were read again (RefreshProcedures).
    void ProceduresRead();

private:
    void ApplyFilter();
    void UpdateCount();
    void OnProgress(int done, int total);
    void FollowCommit();
    void StartLoad();
    void Apply(const LibrarySnapshot& snapshot);
    void StartJob(LibraryJob job);
    void OnJobDone(const LibraryJobResult& result, const LibraryJob& job);
    void SetBusy(bool busy);

    QString m_strDatabase;
    bool m_bServer = false;
    CChangeNotices* m_pNotices = nullptr;
    // Readings asked for, and what waits for one.
    int m_nWanted = 0;
    std::vector<std::pair<int, std::function<void()>>> m_afterLoad;
    CWorkerLink* m_pLoadLink = nullptr;
    // What the last reading found besides the joints.
    std::vector<LibraryRoot> m_roots;
    std::vector<ForgetItem> m_missing;
    qint64 m_nClockOffsetMs = 0; // the store's clock minus this host's
    QTimer* m_pRetry = nullptr;
    QTimer* m_pNextLoad = nullptr;
    // Until the whole table has been read once, the newest joints come first.
    static constexpr int kFirstPage = 500;
    bool m_bWhole = false;
    bool m_bPartial = false;
    QElapsedTimer m_loadStarted;
    static constexpr qint64 kLoadEveryMs = 1000;
    QLabel* m_pState = nullptr;
    CJointTableModel m_model;
    QTableView* m_pTable = nullptr;
    QLineEdit* m_pSearch = nullptr;
    QComboBox* m_pStatus = nullptr;
    QComboBox* m_pVerdict = nullptr;
    QCheckBox* m_pDates = nullptr;
    QDateEdit* m_pSince = nullptr;
    QDateEdit* m_pUntil = nullptr;
    QLabel* m_pCount = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QPushButton* m_pCancel = nullptr;
    QPushButton* m_pScan = nullptr;
    // Links to the workers this window waits for; cut when it stops
    // waiting (Cancel) or closes.
    CWorkerLink* m_pJobLink = nullptr;
    CWorkerLink* m_pExportLink = nullptr;
    CWorkerLink* m_pCheckLink = nullptr;
    CWorkerLink* m_pProcedureLink = nullptr;
    // The procedure files as last read off this thread: a verdict is shown
    // as current only when it is what they, the rules and the machine list
    // in the settings would make now (VerdictBook.h).
    ProcedureFiles m_procedureFiles;
    QTimer* m_pProcedureTimer = nullptr; // a procedure file changed in place shows within 10 s
    std::shared_ptr<std::atomic<bool>> m_pCancelFlag;
    // Folder changes and confirmations waiting for the next job.
    LibraryJob m_pending;
    bool m_bRescan = false;
    ScanSummary m_lastScan;
    QString m_lastJobMessage;
};
