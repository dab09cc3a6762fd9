#pragma once
// The library's window: the table of joints with its search, filters and
// count, and the scan, export, check and folder commands. Every file-system
// access (scan, PDF export, the check of a joint) runs on a worker thread;
// the window reads the index only.

#include "library/JointTableModel.h"
#include "library/LibraryScanner.h"
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
class QProgressBar;
class QPushButton;
class QTableView;
class QThread;

class CLibraryWindow : public QWidget {
    Q_OBJECT
public:
    explicit CLibraryWindow(const QString& databasePath, QWidget* parent = nullptr);
    ~CLibraryWindow() override;

    // Opens the window's own connection to the index; false, after telling
    // the user, when it cannot be used.
    bool OpenStore();
    // Reads the joints from the index again.
    void Reload();

    // `confirmed`: roots whose vanished joints the user said are gone.
    void StartScan(const QStringList& confirmed = {});
    void CancelScan();
    bool Scanning() const { return m_pWorker != nullptr; }
    const ScanSummary& LastScan() const { return m_lastScan; }

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

    CJointTableModel& Model() { return m_model; }
    QTableView* Table() { return m_pTable; }
    QLineEdit* SearchBox() { return m_pSearch; }
    QComboBox* StatusBox() { return m_pStatus; }
    QLabel* CountLabel() { return m_pCount; }
    QProgressBar* ProgressBar() { return m_pProgress; }
    QPushButton* CancelButton() { return m_pCancel; }
    std::vector<JointRow> SelectedRows() const;

Q_SIGNALS:
    void ScanFinished();
    void ExportFinished();
    // The check of a joint was shown, or its failure told.
    void CheckFinished();

private:
    void ApplyFilter();
    void UpdateCount();
    void OnProgress(int done, int total);
    void OnScanDone(const ScanSummary& summary);
    void SetBusy(bool busy);

    QString m_strDatabase;
    std::unique_ptr<CLibraryStore> m_pStore;
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
    QThread* m_pWorker = nullptr;
    QThread* m_pExporter = nullptr;
    QThread* m_pChecker = nullptr;
    std::atomic<bool> m_bCancel{false};
    ScanSummary m_lastScan;
};
