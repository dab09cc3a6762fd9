#pragma once
// The library's window: the table of joints with a browse tree beside it
// and the selected joint's details pane, its search and filters, a menu
// bar, a toolbar and a status bar, and the problems panel.
//
// It reads the index on a worker, through a read-only connection of its
// own, and holds no lock, so other programs list, export and scan while it
// is open; it follows their commits (ChangeNotices.h: a server's notices,
// an SQLite index's change counter) and reads again, at most once a second,
// keeping the selection, the current joint and the scroll position.
// Nothing on its thread queries a server or touches a report folder:
// reading, probing, listing, opening, PDF export, the check, the details,
// dropped files and watching run on workers; writers run as jobs under the
// scan lock (LibraryJob.h). A server that cannot be reached is said above
// the table, and the window reads again when it is back. Cancel and closing
// never wait for a worker: one stuck on a folder or a server that stopped
// answering is left to end by itself.
//
// How the window was left (its size, splitter, columns, sort, filters and
// search) is kept in the settings file and restored (LibraryLayout.h).

#include "library/JointTableModel.h"
#include "library/LibraryJob.h"
#include "library/LibraryStore.h"
#include "library/Worker.h"

#include <QElapsedTimer>
#include <QItemSelection>
#include <QMainWindow>
#include <QSet>
#include <atomic>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QDockWidget;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTableView;
class QTimer;
class QToolButton;
class CBrowseTree;
class CChangeNotices;
class CFolderWatch;
class CJointDetailsPane;
struct JointDetails;
struct JointOpening;
struct LibrarySnapshot;

class CLibraryWindow : public QMainWindow {
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
    // selection, the current joint and the scroll position; `then` runs
    // when a reading asked for now has landed.
    void Reload(std::function<void()> then = {});
    bool Loading() const;
    // Looks at once whether another program committed (SQLite; a server
    // says so by itself).
    void FollowChanges();
    // What the window says about the library above its table (a server
    // that cannot be reached), or empty.
    QString StateText() const;

    // A complete scan asked for (a report removed, a card put in) and due
    // in a moment.
    bool ScanScheduled() const;
    // `confirmed`: folders whose vanished joints the user said are gone.
    void StartScan(const QStringList& confirmed = {});
    void CancelScan();
    bool Scanning() const { return m_pJobLink != nullptr; }
    const ScanSummary& LastScan() const { return m_lastScan; }
    // What the last job said (a busy library, an index set aside).
    const QString& LastJobMessage() const { return m_lastJobMessage; }

    void OpenSelected();
    void ShowSelectedInFolder();
    void CopySelectedPaths();
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
    // "Review...": one decision for the selected joints, recorded on a
    // worker (ReviewFinished); refusals (another desk was first) are told.
    void ReviewSelected();
    // "Job dossier...": written on a worker with progress; Cancel leaves
    // no file (DossierFinished, LastDossier).
    void WriteDossier();
    void CancelDossier();
    bool WritingDossier() const { return m_pDossierLink != nullptr; }
    const QString& LastDossier() const { return m_lastDossier; }
    // Reports and folders given to the window (dropped on it).
    void TakeDropped(const QStringList& paths);
    // Applies the search now rather than after the pause for typing.
    void ApplyFilter();
    // Writes how the window was left into the settings file (also done when
    // it closes).
    void SaveLayout();

    // Where the user wants a file or folder written; empty for Cancel.
    // Tests answer for the user.
    std::function<QString(const QString& title, const QString& suggested)> m_askSavePath;
    std::function<QString(const QString& title)> m_askFolder;
    // Starts the viewer with a report; shows a file in the desktop's file
    // manager. Tests stand in for the programs.
    std::function<void(const QString& program, const QString& path)> m_startViewer;
    std::function<void(const QString& path)> m_showInFolder;

    // Called on the scan's thread after each file; tests hold the scan here.
    std::function<void(int done, int total)> m_onWorkerProgress;
    // How long a folder has to answer a scan.
    int m_nProbeMs;

    CJointTableModel& Model() { return m_model; }
    QTableView* Table() { return m_pTable; }
    QLineEdit* SearchBox() { return m_pSearch; }
    QComboBox* StatusBox() { return m_pStatus; }
    QComboBox* VerdictBox() { return m_pVerdict; }
    QComboBox* ReviewBox() { return m_pReview; }
    QLabel* CountLabel() { return m_pCount; }
    QLabel* FolderLabel() { return m_pFolder; }
    QProgressBar* ProgressBar() { return m_pProgress; }
    QPushButton* CancelButton() { return m_pCancel; }
    CBrowseTree* Tree() { return m_pTree; }
    CJointDetailsPane* Pane() { return m_pPane; }
    QSplitter* Splitter() { return m_pSplitter; }
    QListWidget* Problems() { return m_pProblems; }
    CFolderWatch* Watch() { return m_pWatch; }
    // The window's command by its name: "open", "show-in-folder", "check",
    // "copy-path", "export-pdf", "export-list", "scan", "cancel", "folders",
    // "forget", "find", "details", "tree", "problems".
    QAction* Command(const QString& name) const;
    // The table's context menu, as it is for the current selection.
    QMenu* ContextMenu();
    std::vector<JointRow> SelectedRows() const;
    // The roots the last reading found, a named one as this desk reaches it.
    const std::vector<LibraryRoot>& KnownRoots() const { return m_roots; }

Q_SIGNALS:
    // A job of the window's ended: a scan, forget-missing, or reading
    // reports that arrived.
    void ScanFinished();
    // A reading of the index has been shown.
    void Loaded();
    void ExportFinished();
    // The check of a joint was shown, or its failure told.
    void CheckFinished();
    // A joint was handed to a viewer or one was started, or it could not be.
    void OpenFinished();
    // The details pane has what a worker read of the selected joint.
    void DetailsShown();
    // Dropped reports and folders were placed and handed to a job.
    void DropTaken();
    // The procedure files were read again (RefreshProcedures).
    void ProceduresRead();
    void ReviewFinished();
    void DossierFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildActions();
    void BuildMenus();
    void BuildToolBar();
    void BuildFilters(QWidget* bar);
    void BuildStatusBar();
    void RestoreLayout();
    void UpdateCount();
    void UpdateCommands();
    void OnProgress(int done, int total);
    // What a worker calls after each step (on its thread): the tests' hook
    // there, and the progress bar here unless the window stopped waiting.
    std::function<void(int, int)> WorkerProgress(CWorkerLink* link,
                                                 std::function<void(int, int)> hook);
    void OnCancel();
    // The selected joint's review and, once read, its history, in the pane.
    void ShowReview(const JointRow& row, const std::vector<JointReview>* history);
    // The table's selected rows, in order; the joints they show; the row
    // the user is on among them, else the first (null when none). What
    // these give stands until the table is read or filtered again.
    std::vector<int> SelectedRowNumbers() const;
    QSet<qint64> SelectedJoints() const;
    const JointRow* ChosenRow() const;
    // The rows that show these joints, to put a selection back.
    QItemSelection RowsOfJoints(const QSet<qint64>& joints) const;
    void FollowCommit();
    void StartLoad();
    void Apply(LibrarySnapshot& snapshot);
    void StartJob(LibraryJob job);
    void OnJobDone(const LibraryJobResult& result, const LibraryJob& job);
    void RunQueuedJob();
    void SetBusy(bool busy);
    void AddProblem(const QString& line);
    void OnCurrentChanged();
    void ReadDetails();
    void UpdateWatch();
    void ScanSoon(const QString& why, int ms);
    void ShowColumnMenu(const QPoint& at);

    QString m_strDatabase;
    bool m_bServer = false;
    CChangeNotices* m_pNotices = nullptr;
    // Readings asked for, and what waits for one.
    int m_nWanted = 0;
    std::vector<std::pair<int, std::function<void()>>> m_afterLoad;
    CWorkerLink* m_pLoadLink = nullptr;
    // What the last reading found besides the joints.
    std::vector<LibraryRoot> m_roots;
    QHash<qint64, RootJoints> m_rootJoints;
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

    QSplitter* m_pSplitter = nullptr;
    CBrowseTree* m_pTree = nullptr;
    QTableView* m_pTable = nullptr;
    CJointDetailsPane* m_pPane = nullptr;
    QLineEdit* m_pSearch = nullptr;
    QTimer* m_pSearchDelay = nullptr;
    QComboBox* m_pStatus = nullptr;
    QComboBox* m_pVerdict = nullptr;
    QComboBox* m_pReview = nullptr;
    QCheckBox* m_pDates = nullptr;
    QDateEdit* m_pSince = nullptr;
    QDateEdit* m_pUntil = nullptr;
    QLabel* m_pFolder = nullptr;
    QLabel* m_pCount = nullptr;
    QLabel* m_pTimeLeft = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QPushButton* m_pCancel = nullptr;
    QToolButton* m_pProblemsButton = nullptr;
    QDockWidget* m_pProblemsDock = nullptr;
    QListWidget* m_pProblems = nullptr;
    QMenu* m_pContext = nullptr;
    std::map<QString, QAction*> m_commands;
    QTimer* m_pDetailsDelay = nullptr;
    QByteArray m_paneSha; // the report the pane shows

    // Links to the workers this window waits for; cut when it stops
    // waiting (Cancel, a newer request) or closes.
    CWorkerLink* m_pJobLink = nullptr;
    CWorkerLink* m_pExportLink = nullptr;
    CWorkerLink* m_pCheckLink = nullptr;
    CWorkerLink* m_pOpenLink = nullptr;
    CWorkerLink* m_pDetailsLink = nullptr;
    CWorkerLink* m_pDropLink = nullptr;
    CWorkerLink* m_pProcedureLink = nullptr;
    CWorkerLink* m_pReviewLink = nullptr;
    CWorkerLink* m_pDossierLink = nullptr;
    std::shared_ptr<std::atomic<bool>> m_pDossierCancel;
    QString m_lastDossier;                  // what the last dossier wrote, or why it did not
    QString m_strReviewer;                  // the name typed last
    std::vector<JointReview> m_paneHistory; // of the joint the pane shows
    // The procedure files as last read off this thread: a verdict is shown
    // as current only when it is what they, the rules and the machine list
    // in the settings would make now (VerdictBook.h).
    ProcedureFiles m_procedureFiles;
    QTimer* m_pProcedureTimer = nullptr; // a procedure file changed in place shows within 10 s
    std::shared_ptr<std::atomic<bool>> m_pCancelFlag;
    QElapsedTimer m_jobClock;
    // Folder changes and confirmations waiting for the next job.
    LibraryJob m_pending;
    bool m_bRescan = false;
    // Reports the watch saw arrive, waiting for a job.
    QStringList m_queuedFiles;
    ScanSummary m_lastScan;
    QString m_lastJobMessage;

    CFolderWatch* m_pWatch = nullptr;
    QTimer* m_pScanSoon = nullptr;
    QTimer* m_pTimedRescan = nullptr;
    QStringList m_timedFolders; // on a share, or not watchable: rescanned on the timer
    bool m_bLayoutRestored = false;
};

// Minutes between rescans of folders that cannot be watched (network
// shares), as the user set them in Folders ([Library] RescanMinutes).
int LibraryRescanMinutes();
void SetLibraryRescanMinutes(int minutes);
