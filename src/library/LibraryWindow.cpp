#include "library/LibraryWindow.h"

#include "framework/Modal.h"
#include "library/JointExport.h"
#include "library/LibraryCheckDlg.h"
#include "library/LibraryFolders.h"
#include "library/LibraryFoldersDlg.h"
#include "platform/MessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QTableView>
#include <QThread>
#include <QVBoxLayout>

namespace {
const QString kCaption = QStringLiteral("Kelvorn Joint Reports");
}

CLibraryWindow::CLibraryWindow(const QString& databasePath, QWidget* parent)
    : QWidget(parent), m_strDatabase(databasePath), m_model(this) {
    setWindowTitle(kCaption);
    m_askSavePath = [this](const QString& title, const QString& suggested) {
        return QFileDialog::getSaveFileName(this, title, suggested);
    };
    m_askFolder = [this](const QString& title) {
        return QFileDialog::getExistingDirectory(this, title);
    };

    m_pSearch = new QLineEdit;
    m_pSearch->setPlaceholderText(QStringLiteral("Search job, employee, machine, notes"));
    m_pSearch->setClearButtonEnabled(true);
    m_pStatus = new QComboBox;
    for (const char* s : {"present", "missing", "offline", "unreadable", "all"})
        m_pStatus->addItem(QString::fromLatin1(s));
    m_pVerdict = new QComboBox;
    m_pVerdict->addItem(QStringLiteral("any verdict"), QString());
    for (const char* s : {"pass", "fail", "incomplete"})
        m_pVerdict->addItem(QString::fromLatin1(s), QString::fromLatin1(s));
    m_pDates = new QCheckBox(QStringLiteral("From"));
    m_pSince = new QDateEdit(QDate::currentDate().addMonths(-1));
    m_pUntil = new QDateEdit(QDate::currentDate());
    for (QDateEdit* d : {m_pSince, m_pUntil}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        d->setEnabled(false);
    }
    auto* filters = new QHBoxLayout;
    filters->addWidget(m_pSearch, 1);
    filters->addWidget(m_pDates);
    filters->addWidget(m_pSince);
    filters->addWidget(new QLabel(QStringLiteral("to")));
    filters->addWidget(m_pUntil);
    filters->addWidget(m_pVerdict);
    filters->addWidget(m_pStatus);

    m_pTable = new QTableView;
    m_pTable->setModel(&m_model);
    m_pTable->setSortingEnabled(true);
    m_pTable->sortByColumn(JC_DATE_TIME, Qt::DescendingOrder);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->setAlternatingRowColors(true);
    m_pTable->verticalHeader()->hide();
    m_pTable->horizontalHeader()->setStretchLastSection(true);
    m_pTable->verticalHeader()->setDefaultSectionSize(m_pTable->fontMetrics().height() + 6);

    m_pScan = new QPushButton(QStringLiteral("Scan"));
    auto* folders = new QPushButton(QStringLiteral("Folders..."));
    auto* exportList = new QPushButton(QStringLiteral("Export list..."));
    auto* exportPdfs = new QPushButton(QStringLiteral("Export PDFs..."));
    auto* check = new QPushButton(QStringLiteral("Check..."));
    auto* forget = new QPushButton(QStringLiteral("Forget missing"));
    m_pCount = new QLabel;
    m_pProgress = new QProgressBar;
    m_pProgress->hide();
    m_pCancel = new QPushButton(QStringLiteral("Cancel"));
    m_pCancel->hide();
    auto* commands = new QHBoxLayout;
    for (QPushButton* b : {m_pScan, folders, exportList, exportPdfs, check, forget})
        commands->addWidget(b);
    commands->addStretch(1);
    commands->addWidget(m_pProgress);
    commands->addWidget(m_pCancel);
    commands->addWidget(m_pCount);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_pTable, 1);
    layout->addLayout(commands);
    resize(1100, 640);

    connect(m_pSearch, &QLineEdit::textChanged, this, &CLibraryWindow::ApplyFilter);
    connect(m_pStatus, &QComboBox::currentIndexChanged, this, &CLibraryWindow::ApplyFilter);
    connect(m_pVerdict, &QComboBox::currentIndexChanged, this, &CLibraryWindow::ApplyFilter);
    connect(m_pDates, &QCheckBox::toggled, this, [this](bool on) {
        m_pSince->setEnabled(on);
        m_pUntil->setEnabled(on);
        ApplyFilter();
    });
    connect(m_pSince, &QDateEdit::dateChanged, this, &CLibraryWindow::ApplyFilter);
    connect(m_pUntil, &QDateEdit::dateChanged, this, &CLibraryWindow::ApplyFilter);
    connect(m_pScan, &QPushButton::clicked, this, [this]() { StartScan(); });
    connect(m_pCancel, &QPushButton::clicked, this, &CLibraryWindow::CancelScan);
    connect(folders, &QPushButton::clicked, this, &CLibraryWindow::ShowFolders);
    connect(exportList, &QPushButton::clicked, this, &CLibraryWindow::ExportList);
    connect(exportPdfs, &QPushButton::clicked, this, &CLibraryWindow::ExportPdfs);
    connect(check, &QPushButton::clicked, this, &CLibraryWindow::ShowCheck);
    connect(forget, &QPushButton::clicked, this, &CLibraryWindow::ForgetMissing);
    connect(m_pTable, &QTableView::doubleClicked, this, &CLibraryWindow::OpenSelected);
    UpdateCount();
}

CLibraryWindow::~CLibraryWindow() {
    m_bCancel = true;
    for (QThread* t : {m_pWorker, m_pExporter, m_pChecker})
        if (t) {
            t->wait();
            delete t;
        }
}

bool CLibraryWindow::OpenStore() {
    m_pStore = std::make_unique<CLibraryStore>(m_strDatabase);
    const CLibraryStore::OpenResult result = m_pStore->Open();
    if (!m_pStore->Message().isEmpty())
        MessageBox(m_pStore->Message(), kCaption,
                   result == CLibraryStore::OpenResult::Rebuilt ? MB_ICONINFORMATION : MB_ICONSTOP);
    if (result != CLibraryStore::OpenResult::Ok && result != CLibraryStore::OpenResult::Rebuilt) {
        m_pStore.reset();
        return false;
    }
    Reload();
    return true;
}

void CLibraryWindow::Reload() {
    if (m_pStore)
        m_model.SetRows(m_pStore->Joints());
    UpdateCount();
}

void CLibraryWindow::ApplyFilter() {
    JointFilter f;
    f.search = m_pSearch->text().trimmed();
    f.status = m_pStatus->currentText();
    f.verdict = m_pVerdict->currentData().toString();
    if (m_pDates->isChecked()) {
        f.since = m_pSince->date();
        f.until = m_pUntil->date();
    }
    m_model.SetFilter(f);
    UpdateCount();
}

void CLibraryWindow::UpdateCount() {
    m_pCount->setText(
        QStringLiteral("%1 of %2 shown").arg(m_model.rowCount()).arg(m_model.Total()));
}

void CLibraryWindow::SetBusy(bool busy) {
    m_pScan->setEnabled(!busy);
    m_pProgress->setVisible(busy);
    m_pCancel->setVisible(busy);
    m_pCancel->setEnabled(busy);
}

void CLibraryWindow::StartScan(const QStringList& confirmed) {
    if (m_pWorker)
        return;
    const QStringList roots = LibraryRoots(); // settings stay on this thread
    m_bCancel = false;
    m_pProgress->setRange(0, 0);
    SetBusy(true);
    const QString path = m_strDatabase;
    const auto hook = m_onWorkerProgress;
    m_pWorker = QThread::create([this, path, roots, hook, confirmed]() {
        ScanSummary summary;
        CLibraryStore store(path, 5000);
        const CLibraryStore::OpenResult opened = store.Open();
        if (opened == CLibraryStore::OpenResult::Ok ||
            opened == CLibraryStore::OpenResult::Rebuilt) {
            CLibraryScanner scanner(store);
            scanner.SetConfirmedRemovals(confirmed);
            scanner.SetCancelFlag(&m_bCancel);
            scanner.SetProgress([this, hook](int done, int total) {
                if (hook)
                    hook(done, total);
                QMetaObject::invokeMethod(
                    this, [this, done, total]() { OnProgress(done, total); }, Qt::QueuedConnection);
            });
            summary = scanner.Scan(roots);
        } else {
            summary.storeFailed = true;
            summary.problems << store.Message();
        }
        QMetaObject::invokeMethod(
            this, [this, summary]() { OnScanDone(summary); }, Qt::QueuedConnection);
    });
    m_pWorker->start();
}

void CLibraryWindow::CancelScan() {
    m_bCancel = true;
    m_pCancel->setEnabled(false);
}

void CLibraryWindow::OnProgress(int done, int total) {
    m_pProgress->setRange(0, std::max(total, 1));
    m_pProgress->setValue(done);
}

void CLibraryWindow::OnScanDone(const ScanSummary& summary) {
    m_pWorker->wait();
    delete m_pWorker;
    m_pWorker = nullptr;
    m_lastScan = summary;
    SetBusy(false);
    Reload();
    if (summary.storeFailed || !summary.problems.isEmpty())
        MessageBox(summary.problems.join(QLatin1Char('\n')), kCaption, MB_ICONEXCLAMATION);
    // Only the user can tell an emptied folder from a card or share that is
    // not connected.
    QStringList confirmed;
    for (const QString& root : summary.suspect)
        if (MessageBox(QStringLiteral("%1 is empty or lost most of its joints at once, so its "
                                      "joints are shown as offline.\n\nWere its reports deleted "
                                      "or moved on purpose? Yes marks them missing.")
                           .arg(SafeLine(root)),
                       kCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES)
            confirmed << root;
    Q_EMIT ScanFinished();
    if (!confirmed.isEmpty())
        StartScan(confirmed);
}

std::vector<JointRow> CLibraryWindow::SelectedRows() const {
    std::vector<JointRow> rows;
    QModelIndexList selected = m_pTable->selectionModel()->selectedRows();
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& i : selected)
        rows.push_back(m_model.Row(i.row()));
    return rows;
}

void CLibraryWindow::ExportList() {
    const std::vector<JointRow> rows = SelectedRows();
    if (rows.empty()) {
        MessageBox(QStringLiteral("Select the joints to export first."), kCaption,
                   MB_ICONINFORMATION);
        return;
    }
    const QString path = m_askSavePath(QStringLiteral("Export list"), QStringLiteral("joints.csv"));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(JointsCsv(rows)) < 0 || !file.commit())
        MessageBox(QStringLiteral("The list could not be written to %1.").arg(path), kCaption,
                   MB_ICONSTOP);
}

void CLibraryWindow::ExportPdfs() {
    const std::vector<JointRow> rows = SelectedRows();
    if (rows.empty() || m_pExporter) {
        if (rows.empty())
            MessageBox(QStringLiteral("Select the joints to export first."), kCaption,
                       MB_ICONINFORMATION);
        return;
    }
    const QString folder = m_askFolder(QStringLiteral("Export PDFs"));
    if (folder.isEmpty())
        return;
    m_pExporter = QThread::create([this, rows, folder]() {
        const PdfExport done = ExportJointPdfs(rows, folder);
        QMetaObject::invokeMethod(
            this,
            [this, done]() {
                m_pExporter->wait();
                delete m_pExporter;
                m_pExporter = nullptr;
                if (!done.failures.isEmpty())
                    MessageBox(done.failures.join(QLatin1Char('\n')), kCaption, MB_ICONEXCLAMATION);
                Q_EMIT ExportFinished();
            },
            Qt::QueuedConnection);
    });
    m_pExporter->start();
}

void CLibraryWindow::ForgetMissing() {
    if (!m_pStore || m_pWorker)
        return;
    if (MessageBox(QStringLiteral("Remove every missing joint from the library? The reports "
                                  "themselves are not touched."),
                   kCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    m_pStore->ForgetMissing();
    Reload();
}

void CLibraryWindow::ShowCheck() {
    const std::vector<JointRow> rows = SelectedRows();
    if (rows.size() != 1) {
        MessageBox(QStringLiteral("Select one joint to check."), kCaption, MB_ICONINFORMATION);
        return;
    }
    if (m_pChecker)
        return;
    // The joint's file may lie on a share that does not answer: read it on
    // a worker, and show what it found when it is done.
    m_pChecker = QThread::create([this, row = rows[0]]() {
        const JointCheck done = CheckJoint(row);
        QMetaObject::invokeMethod(
            this,
            [this, done]() {
                m_pChecker->wait();
                delete m_pChecker;
                m_pChecker = nullptr;
                if (!done.failure.isEmpty()) {
                    MessageBox(done.failure, kCaption, MB_ICONEXCLAMATION);
                } else {
                    CLibraryCheckDlg dialog(done.file, done.lines, this);
                    RunModal(dialog);
                }
                Q_EMIT CheckFinished();
            },
            Qt::QueuedConnection);
    });
    m_pChecker->start();
}

void CLibraryWindow::OpenSelected() {
    const std::vector<JointRow> rows = SelectedRows();
    if (rows.empty() || rows[0].id <= 0)
        return;
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/vtq-ppc");
    const QString program = QFileInfo(beside).isExecutable() ? beside : QStringLiteral("vtq-ppc");
    QProcess::startDetached(program, {rows[0].files.value(0)});
}

void CLibraryWindow::ShowFolders() {
    CLibraryFoldersDlg dialog(this);
    dialog.m_askFolder = m_askFolder;
    if (RunModal(dialog) != IDOK)
        return;
    const QStringList before = AddedLibraryFolders();
    SetAddedLibraryFolders(dialog.m_folders);
    SetNamedBackupCard(dialog.m_strCard);
    // A folder taken out of the library takes its joints with it, unless it
    // is still one of the library's folders as the device's or the card's.
    // Not while a scan writes: the scan would only add it back.
    const QStringList roots = LibraryRoots();
    if (m_pStore && !m_pWorker)
        for (const QString& old : before)
            if (!roots.contains(old))
                m_pStore->RemoveRoot(old);
    Reload();
}
