#pragma once
// The library's window: the table of joints with its search, filters and
// count, and the scan, export, check, forget and folder commands.
//
// It reads the index through a read-only connection and holds no lock, so
// other programs list, export and scan while it is open; it follows their
// commits (the store's change counter, looked at once a second) and reloads.
// Everything that touches a report folder (probing, listing, reading, PDF
// export, the check of a joint) runs on a worker; writers run as jobs under
// the scan lock (LibraryJob.h). Cancel and closing never wait for a worker:
// a worker stuck on a folder that stopped answering is left to end by
// itself, and what it finishes is seen through the change counter.

#include "library/JointTableModel.h"
#include "library/LibraryJob.h"
#include "library/LibraryStore.h"

#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTableView;
class QTimer;
class CWorkerLink;

class CLibraryWindow : public QWidget {
    Q_OBJECT
public:
    explicit CLibraryWindow(const QString& databasePath, QWidget* parent = nullptr);
    ~CLibraryWindow() override;

    // Opens the window's read-only connection to the index; false, after
    // telling the user, when the index cannot be used at all. An index
    // that is not there yet, or was made by an older program, is made or
    // brought up to date by the first scan.
    bool OpenStore();
    // Reads the joints from the index again, keeping the selection.
    void Reload();
    // Reloads when another connection committed since the last look; the
    // window's timer calls it once a second.
    void FollowChanges();

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
    // "Review...": one decision for the selected joints, recorded on a
    // worker (ReviewFinished); refusals (another desk was first) are told.
    void ReviewSelected();
    // "Job dossier...": written on a worker with progress; Cancel leaves
    // no file (DossierFinished, LastDossier).
    void WriteDossier();
    void CancelDossier();
    bool WritingDossier() const { return m_pDossierLink != nullptr; }
    const QString& LastDossier() const { return m_lastDossier; }

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
    QComboBox* ReviewBox() { return m_pReview; }
    QListWidget* HistoryList() { return m_pHistory; }
    QLabel* CountLabel() { return m_pCount; }
    QProgressBar* ProgressBar() { return m_pProgress; }
    QPushButton* CancelButton() { return m_pCancel; }
    std::vector<JointRow> SelectedRows() const;

Q_SIGNALS:
    void ScanFinished();
    void ExportFinished();
    // The check of a joint was shown, or its failure told.
    void CheckFinished();
    // The procedure files were read again (RefreshProcedures).
    void ProceduresRead();
    void ReviewFinished();
    void DossierFinished();

private:
    void ApplyFilter();
    void UpdateCount();
    void OnProgress(int done, int total);
    // What a worker calls after each step (on its thread): the tests' hook
    // there, and the progress bar here unless the window stopped waiting.
    std::function<void(int, int)> WorkerProgress(CWorkerLink* link,
                                                 std::function<void(int, int)> hook);
    bool OpenReader(bool quiet);
    void StartJob(LibraryJob job);
    void OnJobDone(const LibraryJobResult& result, const LibraryJob& job);
    void SetBusy(bool busy);
    std::vector<LibraryRoot> KnownRoots();
    void ShowHistory();
    void OnCancel();

    QString m_strDatabase;
    std::unique_ptr<CLibraryStore> m_pStore;
    qint64 m_nChangeCounter = -1;
    quint64 m_nIndexInode = 0; // a new file there (set aside, rebuilt) is opened anew
    CJointTableModel m_model;
    QTableView* m_pTable = nullptr;
    QLineEdit* m_pSearch = nullptr;
    QComboBox* m_pStatus = nullptr;
    QComboBox* m_pVerdict = nullptr;
    QComboBox* m_pReview = nullptr;
    QListWidget* m_pHistory = nullptr;
    QCheckBox* m_pDates = nullptr;
    QDateEdit* m_pSince = nullptr;
    QDateEdit* m_pUntil = nullptr;
    QLabel* m_pCount = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QPushButton* m_pCancel = nullptr;
    QPushButton* m_pScan = nullptr;
    QTimer* m_pFollow = nullptr;
    // Links to the workers this window waits for; cut when it stops
    // waiting (Cancel) or closes.
    CWorkerLink* m_pJobLink = nullptr;
    CWorkerLink* m_pExportLink = nullptr;
    CWorkerLink* m_pCheckLink = nullptr;
    CWorkerLink* m_pProcedureLink = nullptr;
    CWorkerLink* m_pReviewLink = nullptr;
    CWorkerLink* m_pDossierLink = nullptr;
    std::shared_ptr<std::atomic<bool>> m_pDossierCancel;
    QString m_lastDossier; // what the last dossier wrote, or why it did not
    QString m_strReviewer; // the name typed last
    // The procedure files as last read off this thread: a verdict is shown
    // as current only when it is what they, the rules and the machine list
    // in the settings would make now (VerdictBook.h).
    ProcedureFiles m_procedureFiles;
    int m_nFollowTicks = 0;
    std::shared_ptr<std::atomic<bool>> m_pCancelFlag;
    // Folder changes and confirmations waiting for the next job.
    LibraryJob m_pending;
    bool m_bRescan = false;
    ScanSummary m_lastScan;
    QString m_lastJobMessage;
};

// Waits up to `ms` for every worker any library window started to end; true
// when none is left. For tests and for leaving cleanly.
bool WaitForLibraryWorkers(int ms);
