#include "library/LibraryWindow.h"

#include "framework/Modal.h"
#include "library/JobDossier.h"
#include "library/JointExport.h"
#include "library/LibraryCheckDlg.h"
#include "library/LibraryDossierDlg.h"
#include "library/LibraryFolders.h"
#include "library/LibraryFoldersDlg.h"
#include "library/LibraryForgetDlg.h"
#include "library/LibraryReviewDlg.h"
#include "library/ProcedureSource.h"
#include "library/SqliteIndexFile.h"
#include "library/VerdictBook.h"
#include "platform/MessageBox.h"
#include "platform/WholeFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <sys/stat.h>

// The window's end of a worker: the worker reports through it, and the
// window cuts it when it stops waiting for that worker. Lives on the
// window's thread, and outlives the window when the worker does.
class CWorkerLink : public QObject {
public:
    bool attached = true;
};

namespace {
const QString kCaption = QStringLiteral("Kelvorn Joint Reports");

// The workers started by library windows, still running; touched on the
// windows' thread only. Never freed: a worker may outlive every window.
std::vector<QThread*>* const g_workers = new std::vector<QThread*>;

// Runs `work` on a worker and `done` with its result on this thread,
// unless the link was cut by then.
template <typename Result>
CWorkerLink* RunOnWorker(std::function<Result(CWorkerLink*)> work,
                         std::function<void(const Result&)> done) {
    auto* link = new CWorkerLink;
    QThread* thread = QThread::create([link, work = std::move(work), done = std::move(done)]() {
        Result result = work(link);
        QMetaObject::invokeMethod(
            link,
            [link, done, result = std::move(result)]() {
                if (link->attached)
                    done(result);
                link->deleteLater();
            },
            Qt::QueuedConnection);
    });
    g_workers->push_back(thread);
    QObject::connect(thread, &QThread::finished, thread, [thread]() {
        std::erase(*g_workers, thread);
        thread->deleteLater();
    });
    thread->start();
    return link;
}

quint64 InodeOf(const QString& path) {
    struct stat st {};
    return stat(QFile::encodeName(path).constData(), &st) == 0 ? quint64(st.st_ino) : 0;
}
} // namespace

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

CLibraryWindow::CLibraryWindow(const QString& databasePath, QWidget* parent)
    : QWidget(parent), m_nProbeMs(CLibraryScanner::kProbeMs), m_strDatabase(databasePath),
      m_model(this) {
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
    // Joints the procedure does not cover (sidewall, Tarvex, demonstration
    // logs), and verdicts made by another procedure or check.
    m_pVerdict->addItem(QStringLiteral("not judged"), QStringLiteral("unknown"));
    m_pVerdict->addItem(QStringLiteral("not current"), QStringLiteral("not-current"));
    m_pReview = new QComboBox;
    m_pReview->addItem(QStringLiteral("any review"), QString());
    for (const QString& state : ReviewStates())
        m_pReview->addItem(state, state);
    m_pReview->addItem(QStringLiteral("not reviewed"), QStringLiteral("not reviewed"));
    m_pReview->addItem(QStringLiteral("changed since review"), QStringLiteral("changed"));
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
    filters->addWidget(m_pReview);
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
    // The review beside the verdict and the state, where it is looked for.
    QHeaderView* header = m_pTable->horizontalHeader();
    header->moveSection(header->visualIndex(JC_REVIEW), header->visualIndex(JC_STATUS) + 1);
    m_pHistory = new QListWidget;
    m_pHistory->setMaximumHeight(m_pHistory->fontMetrics().height() * 4 + 8);
    m_pHistory->setSelectionMode(QAbstractItemView::NoSelection);

    m_pScan = new QPushButton(QStringLiteral("Scan"));
    auto* folders = new QPushButton(QStringLiteral("Folders..."));
    auto* exportList = new QPushButton(QStringLiteral("Export list..."));
    auto* exportPdfs = new QPushButton(QStringLiteral("Export PDFs..."));
    auto* check = new QPushButton(QStringLiteral("Check..."));
    auto* forget = new QPushButton(QStringLiteral("Forget missing..."));
    auto* review = new QPushButton(QStringLiteral("Review..."));
    auto* dossier = new QPushButton(QStringLiteral("Job dossier..."));
    m_pCount = new QLabel;
    m_pProgress = new QProgressBar;
    m_pProgress->hide();
    m_pCancel = new QPushButton(QStringLiteral("Cancel"));
    m_pCancel->hide();
    auto* commands = new QHBoxLayout;
    for (QPushButton* b :
         {m_pScan, folders, review, dossier, check, exportList, exportPdfs, forget})
        commands->addWidget(b);
    commands->addStretch(1);
    commands->addWidget(m_pProgress);
    commands->addWidget(m_pCancel);
    commands->addWidget(m_pCount);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_pTable, 1);
    layout->addWidget(new QLabel(QStringLiteral("Review history of the selected joint:")));
    layout->addWidget(m_pHistory);
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
    connect(m_pCancel, &QPushButton::clicked, this, &CLibraryWindow::OnCancel);
    connect(m_pReview, &QComboBox::currentIndexChanged, this, &CLibraryWindow::ApplyFilter);
    connect(review, &QPushButton::clicked, this, &CLibraryWindow::ReviewSelected);
    connect(dossier, &QPushButton::clicked, this, &CLibraryWindow::WriteDossier);
    connect(m_pTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CLibraryWindow::ShowHistory);
    connect(folders, &QPushButton::clicked, this, &CLibraryWindow::ShowFolders);
    connect(exportList, &QPushButton::clicked, this, &CLibraryWindow::ExportList);
    connect(exportPdfs, &QPushButton::clicked, this, &CLibraryWindow::ExportPdfs);
    connect(check, &QPushButton::clicked, this, &CLibraryWindow::ShowCheck);
    connect(forget, &QPushButton::clicked, this, &CLibraryWindow::ForgetMissing);
    connect(m_pTable, &QTableView::doubleClicked, this, &CLibraryWindow::OpenSelected);
    // Another program's commits (a scan from a shell, another window) show
    // within a second.
    m_pFollow = new QTimer(this);
    m_pFollow->setInterval(1000);
    connect(m_pFollow, &QTimer::timeout, this, &CLibraryWindow::FollowChanges);
    m_pFollow->start();
    UpdateCount();
}

// Nothing here waits for a worker: one that is stuck on a folder that
// stopped answering ends by itself, and reports to nobody.
CLibraryWindow::~CLibraryWindow() {
    if (m_pCancelFlag)
        m_pCancelFlag->store(true);
    if (m_pDossierCancel)
        m_pDossierCancel->store(true);
    for (CWorkerLink* link :
         {m_pJobLink, m_pExportLink, m_pCheckLink, m_pProcedureLink, m_pReviewLink, m_pDossierLink})
        if (link)
            link->attached = false;
}

bool CLibraryWindow::OpenReader(bool quiet) {
    m_pStore = std::make_unique<CLibraryStore>(m_strDatabase);
    const CLibraryStore::OpenResult result = m_pStore->Open(CLibraryStore::Mode::Read);
    switch (result) {
    case CLibraryStore::OpenResult::Ok:
        m_nChangeCounter = m_pStore->ChangeCounter();
        m_nIndexInode = InodeOf(m_pStore->Path());
        return true;
    case CLibraryStore::OpenResult::NoIndex:
    case CLibraryStore::OpenResult::Older:
    case CLibraryStore::OpenResult::Damaged:
    case CLibraryStore::OpenResult::Busy:
        // The first scan makes it, brings it up to date or sets it aside.
        m_pStore.reset();
        return true;
    default:
        if (!quiet)
            MessageBox(m_pStore->Message(), kCaption, MB_ICONSTOP);
        m_pStore.reset();
        return false;
    }
}

bool CLibraryWindow::OpenStore() {
    if (!OpenReader(false))
        return false;
    Reload();
    return true;
}

namespace {
bool SameFiles(const ProcedureFiles& a, const ProcedureFiles& b) {
    if (a.size() != b.size())
        return false;
    for (auto it = a.cbegin(); it != a.cend(); ++it) {
        const auto other = b.constFind(it.key());
        if (other == b.cend() || other->ok != it->ok || other->error != it->error ||
            other->procedure.sha256 != it->procedure.sha256)
            return false;
    }
    return true;
}
} // namespace

void CLibraryWindow::RefreshProcedures() {
    if (m_pProcedureLink)
        return;
    const QStringList files = CVerdictBook::FilesNamed(CSettingsProcedureSource().Read());
    m_pProcedureLink = RunOnWorker<ProcedureFiles>(
        [files](CWorkerLink*) { return CVerdictBook::ReadFiles(files); },
        [this](const ProcedureFiles& read) {
            m_pProcedureLink = nullptr;
            if (!SameFiles(read, m_procedureFiles)) {
                m_procedureFiles = read;
                Reload();
            }
            Q_EMIT ProceduresRead();
        });
}

void CLibraryWindow::FollowChanges() {
    // A procedure file changed in place shows within ten seconds.
    if (++m_nFollowTicks % 10 == 0 &&
        !CVerdictBook::FilesNamed(CSettingsProcedureSource().Read()).isEmpty())
        RefreshProcedures();
    // A new file in the index's place (set aside and built again) is a new
    // index: the old connection would see the old file for ever.
    if (m_pStore && InodeOf(m_pStore->Path()) != m_nIndexInode)
        m_pStore.reset();
    // The first review made anywhere makes the reviews file: a reader that
    // opened before it has none attached.
    if (m_pStore && !m_pStore->HasReviews() &&
        ReadSqliteFileFacts(m_pStore->ReviewsPath()).version >=
            CLibraryStore::kReviewsSchemaVersion)
        m_pStore.reset();
    if (!m_pStore) {
        if (OpenReader(true) && m_pStore)
            Reload();
        return;
    }
    const qint64 counter = m_pStore->ChangeCounter();
    if (counter != m_nChangeCounter) {
        m_nChangeCounter = counter;
        Reload();
    }
}

void CLibraryWindow::Reload() {
    // The selection is kept by joint, so a reload under the user's hands
    // (another program's commit) does not lose it.
    QSet<qint64> selected;
    for (const JointRow& r : SelectedRows())
        selected.insert(r.id);
    std::optional<std::vector<JointRow>> rows;
    if (m_pStore)
        rows = m_pStore->Joints();
    if (m_pStore && !rows)
        m_pCount->setToolTip(m_pStore->Message());
    // Each verdict against what would be made now; a procedure file not
    // read yet leaves the joints of its rule "not current" until it is.
    const CVerdictBook verdicts(CSettingsProcedureSource().Read(), m_procedureFiles);
    if (rows)
        MarkVerdicts(*rows, verdicts);
    if (!verdicts.Pending().isEmpty())
        RefreshProcedures();
    m_model.SetRows(rows ? std::move(*rows) : std::vector<JointRow>());
    if (!selected.isEmpty())
        for (int r = 0; r < m_model.rowCount(); ++r)
            if (selected.contains(m_model.Row(r).id))
                m_pTable->selectionModel()->select(
                    m_model.index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    UpdateCount();
    ShowHistory();
}

void CLibraryWindow::ApplyFilter() {
    JointFilter f;
    f.search = m_pSearch->text().trimmed();
    f.status = m_pStatus->currentText();
    f.verdict = m_pVerdict->currentData().toString();
    f.review = m_pReview->currentData().toString();
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
    if (m_pJobLink)
        return;
    LibraryJob job = m_pending;
    job.scan = true;
    job.settings = ReadLibraryFolderSettings(); // settings stay on this thread
    job.confirmed << confirmed;
    StartJob(std::move(job));
}

void CLibraryWindow::StartJob(LibraryJob job) {
    job.database = m_strDatabase;
    job.what = QStringLiteral("the vtq-library window");
    // An earlier job this window stopped waiting for may still hold the
    // lock for a moment.
    job.waitMs = 30000;
    job.probeMs = m_nProbeMs;
    job.procedures = std::make_shared<CSettingsProcedureSource>();
    m_pCancelFlag = std::make_shared<std::atomic<bool>>(false);
    m_pProgress->setRange(0, 0);
    SetBusy(true);
    const auto hook = m_onWorkerProgress;
    const auto cancel = m_pCancelFlag;
    m_pJobLink = RunOnWorker<LibraryJobResult>(
        [this, job, hook, cancel](CWorkerLink* link) {
            return RunLibraryJob(job, cancel.get(), WorkerProgress(link, hook));
        },
        [this, job](const LibraryJobResult& result) { OnJobDone(result, job); });
}

void CLibraryWindow::CancelScan() {
    if (!m_pJobLink)
        return;
    // The worker stops at its next file; the window does not wait for it.
    m_pCancelFlag->store(true);
    m_pJobLink->attached = false;
    m_pJobLink = nullptr;
    m_lastScan = ScanSummary();
    m_lastScan.cancelled = true;
    SetBusy(false);
    Q_EMIT ScanFinished();
}

std::function<void(int, int)> CLibraryWindow::WorkerProgress(CWorkerLink* link,
                                                             std::function<void(int, int)> hook) {
    return [this, link, hook](int done, int total) {
        if (hook)
            hook(done, total);
        QMetaObject::invokeMethod(
            link,
            [this, link, done, total]() {
                if (link->attached)
                    OnProgress(done, total);
            },
            Qt::QueuedConnection);
    };
}

void CLibraryWindow::OnProgress(int done, int total) {
    m_pProgress->setRange(0, std::max(total, 1));
    m_pProgress->setValue(done);
}

void CLibraryWindow::OnJobDone(const LibraryJobResult& result, const LibraryJob& job) {
    m_pJobLink = nullptr;
    SetBusy(false);
    m_lastJobMessage = result.message;
    if (job.scan)
        m_lastScan = result.summary;
    if (result.verdicts)
        m_procedureFiles = result.verdicts->Files();
    if (result.outcome == LibraryJobResult::Done) {
        // What the job applied leaves the queue; what came meanwhile stays.
        for (const QString& f : job.removedFolders)
            m_pending.removedFolders.removeAll(f);
        for (qint64 id : job.retired)
            std::erase(m_pending.retired, id);
        for (const QString& f : job.hereNow)
            m_pending.hereNow.removeAll(f);
    }
    if (result.rebuilt)
        m_pStore.reset();
    if (!m_pStore)
        OpenReader(true);
    Reload();
    if (result.outcome == LibraryJobResult::Busy)
        MessageBox(QStringLiteral("The library is busy: %1. Its joints show here as that program "
                                  "records them; scan again when it is done.")
                       .arg(result.message),
                   kCaption, MB_ICONINFORMATION);
    else if (!result.message.isEmpty())
        MessageBox(result.message, kCaption,
                   result.outcome == LibraryJobResult::Done ? MB_ICONINFORMATION : MB_ICONSTOP);
    const ScanSummary& summary = result.summary;
    if (summary.storeFailed || !summary.problems.isEmpty())
        MessageBox(summary.problems.join(QLatin1Char('\n')), kCaption, MB_ICONEXCLAMATION);
    // Only the user can tell an emptied folder from another card in the
    // reader or a share that is half there.
    QStringList confirmed;
    for (const QString& root : summary.suspect)
        if (MessageBox(QStringLiteral("%1 is empty or lost most of its joints at once, so they are "
                                      "shown as offline: another card may be in the reader, or a "
                                      "share only half there.\n\nWere its reports deleted or "
                                      "moved on purpose? Yes marks them missing.")
                           .arg(SafeLine(root)),
                       kCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES)
            confirmed << root;
    Q_EMIT ScanFinished();
    if (!confirmed.isEmpty() || m_bRescan) {
        m_bRescan = false;
        StartScan(confirmed);
    }
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
    if (!WriteWholeFile(path, JointsCsv(rows, {false, true})))
        MessageBox(QStringLiteral("The list could not be written to %1.").arg(path), kCaption,
                   MB_ICONSTOP);
}

void CLibraryWindow::ExportPdfs() {
    const std::vector<JointRow> rows = SelectedRows();
    if (rows.empty() || m_pExportLink) {
        if (rows.empty())
            MessageBox(QStringLiteral("Select the joints to export first."), kCaption,
                       MB_ICONINFORMATION);
        return;
    }
    const QString folder = m_askFolder(QStringLiteral("Export PDFs"));
    if (folder.isEmpty())
        return;
    // The procedure files are read with the reports, on the worker.
    m_pExportLink = RunOnWorker<PdfExport>(
        [rows, folder, settings = CSettingsProcedureSource().Read()](CWorkerLink*) {
            return ExportJointPdfs(rows, folder, *CVerdictBook::Load(settings));
        },
        [this](const PdfExport& done) {
            m_pExportLink = nullptr;
            if (!done.failures.isEmpty())
                MessageBox(done.failures.join(QLatin1Char('\n')), kCaption, MB_ICONEXCLAMATION);
            Q_EMIT ExportFinished();
        });
}

void CLibraryWindow::ForgetMissing() {
    if (!m_pStore || m_pJobLink)
        return;
    CLibraryForgetDlg dialog(this);
    CLibraryStore* store = m_pStore.get();
    dialog.m_missing = [store](qint64 ageMs) {
        return store->MissingOlderThan(ageMs).value_or(std::vector<ForgetItem>());
    };
    if (RunModal(dialog) != IDOK || dialog.m_fileIds.empty())
        return;
    LibraryJob job = m_pending;
    job.forgetAgeMs = dialog.m_ageMs;
    job.forgetIds = dialog.m_fileIds;
    StartJob(std::move(job));
}

void CLibraryWindow::ShowCheck() {
    const std::vector<JointRow> rows = SelectedRows();
    if (rows.size() != 1) {
        MessageBox(QStringLiteral("Select one joint to check."), kCaption, MB_ICONINFORMATION);
        return;
    }
    if (m_pCheckLink)
        return;
    // The joint's file may lie on a share that does not answer: read it on
    // a worker, and show what it found when it is done.
    m_pCheckLink = RunOnWorker<JointCheck>(
        [row = rows[0], settings = CSettingsProcedureSource().Read()](CWorkerLink*) {
            return CheckJoint(row, *CVerdictBook::Load(settings));
        },
        [this](const JointCheck& done) {
            m_pCheckLink = nullptr;
            if (!done.failure.isEmpty()) {
                MessageBox(done.failure, kCaption, MB_ICONEXCLAMATION);
            } else {
                CLibraryCheckDlg dialog(done.file, done.lines, this);
                RunModal(dialog);
            }
            Q_EMIT CheckFinished();
        });
}

void CLibraryWindow::OpenSelected() {
    const std::vector<JointRow> rows = SelectedRows();
    if (rows.empty() || rows[0].id <= 0)
        return;
    QByteArray path;
    for (const JointFile& f : rows[0].copies)
        if (path.isEmpty() && f.status == QLatin1String("present"))
            path = f.path;
    if (path.isEmpty())
        return;
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/vtq-ppc");
    const QString program = QFileInfo(beside).isExecutable() ? beside : QStringLiteral("vtq-ppc");
    QProcess::startDetached(program, {QFile::decodeName(path)});
}

std::vector<LibraryRoot> CLibraryWindow::KnownRoots() {
    return m_pStore ? m_pStore->Roots().value_or(std::vector<LibraryRoot>())
                    : std::vector<LibraryRoot>();
}

void CLibraryWindow::ShowFolders() {
    CLibraryFoldersDlg dialog(KnownRoots(), this);
    dialog.m_askFolder = m_askFolder;
    if (RunModal(dialog) != IDOK)
        return;
    const LibraryFolderSettings before = ReadLibraryFolderSettings();
    SetAddedLibraryFolders(dialog.m_folders);
    SetNamedBackupCard(dialog.m_strCard);
    // A folder taken out of the library takes its joints with it, unless it
    // is still one of the library's folders as the device's or the card's.
    // Changes to the index wait for the scan lock: a scan that runs now
    // finishes first, and they apply before the next.
    for (const QString& old : RemovedLibraryFolders(before, ReadLibraryFolderSettings()))
        if (!m_pending.removedFolders.contains(old))
            m_pending.removedFolders << old;
    m_pending.retired.insert(m_pending.retired.end(), dialog.m_retired.begin(),
                             dialog.m_retired.end());
    m_pending.hereNow << dialog.m_hereNow;
    if (m_pJobLink)
        m_bRescan = true;
    else
        StartScan();
}

void CLibraryWindow::ShowHistory() {
    m_pHistory->clear();
    const std::vector<JointRow> rows = SelectedRows();
    if (rows.size() != 1 || rows[0].id <= 0 || !m_pStore)
        return;
    JointReview joint;
    joint.machineId = rows[0].fields.machineId;
    joint.dateTime = rows[0].fields.dateTime;
    joint.jointNumber = rows[0].fields.jointNumber;
    const auto history = m_pStore->ReviewHistory(&joint);
    if (!history) {
        m_pHistory->addItem(m_pStore->Message());
        return;
    }
    for (const JointReview& change : *history)
        m_pHistory->addItem(CLibraryReviewDlg::HistoryLine(change));
    if (history->empty())
        m_pHistory->addItem(QStringLiteral("Not reviewed yet."));
}

void CLibraryWindow::OnCancel() {
    if (m_pDossierLink)
        CancelDossier();
    else
        CancelScan();
}

namespace {
struct ReviewsRecorded {
    QStringList refused; // one line a joint whose review another desk changed first
    QString failure;
};
} // namespace

void CLibraryWindow::ReviewSelected() {
    std::vector<JointRow> rows = SelectedRows();
    std::erase_if(rows, [](const JointRow& r) { return r.id <= 0; });
    if (rows.empty() || !m_pStore) {
        MessageBox(QStringLiteral("Select the joints to review first."), kCaption,
                   MB_ICONINFORMATION);
        return;
    }
    if (m_pReviewLink)
        return;
    std::vector<JointReview> history;
    if (rows.size() == 1) {
        JointReview joint;
        joint.machineId = rows[0].fields.machineId;
        joint.dateTime = rows[0].fields.dateTime;
        joint.jointNumber = rows[0].fields.jointNumber;
        history = m_pStore->ReviewHistory(&joint).value_or(std::vector<JointReview>());
    }
    CLibraryReviewDlg dialog(rows, history, this);
    dialog.m_reviewer = m_strReviewer;
    if (RunModal(dialog) != IDOK)
        return;
    m_strReviewer = dialog.m_reviewer;
    // Each change is made on the review the window showed; a desk that
    // changed it meanwhile wins, and this one is told.
    std::vector<JointReview> changes;
    for (const JointRow& row : rows) {
        JointReview change = row.review;
        change.machineId = row.fields.machineId;
        change.dateTime = row.fields.dateTime;
        change.jointNumber = row.fields.jointNumber;
        change.from = row.review.state;
        change.state = dialog.m_state;
        change.reviewer = dialog.m_reviewer;
        change.comment = dialog.m_comment;
        change.inspections = dialog.m_inspections;
        change.sha256 = row.sha256;
        change.verdict = row.fields.verdict;
        change.procedureHash = row.fields.procedureHash;
        changes.push_back(change);
    }
    m_pReviewLink = RunOnWorker<ReviewsRecorded>(
        [changes, database = m_strDatabase](CWorkerLink*) {
            ReviewsRecorded done;
            CLibraryStore store(database, 5000);
            if (store.Open(CLibraryStore::Mode::Review) != CLibraryStore::OpenResult::Ok) {
                done.failure = store.Message();
                return done;
            }
            for (JointReview change : changes) {
                JointReview now;
                switch (store.AddReview(change, now)) {
                case CLibraryStore::ReviewOutcome::Done:
                    break;
                case CLibraryStore::ReviewOutcome::Refused:
                    done.refused << QStringLiteral("joint %1 of %2: now %3 by %4")
                                        .arg(change.jointNumber)
                                        .arg(change.dateTime, now.state, ReviewerText(now));
                    break;
                default:
                    done.failure = store.Message();
                    return done;
                }
            }
            return done;
        },
        [this](const ReviewsRecorded& done) {
            m_pReviewLink = nullptr;
            if (m_pStore && !m_pStore->HasReviews())
                m_pStore.reset();
            if (!m_pStore)
                OpenReader(true);
            Reload();
            if (!done.failure.isEmpty())
                MessageBox(done.failure, kCaption, MB_ICONSTOP);
            if (!done.refused.isEmpty())
                MessageBox(QStringLiteral("The review of these joints was changed meanwhile, from "
                                          "another desk; their review was not recorded. Look at "
                                          "them again:\n") +
                               SafeLine(done.refused.join(QLatin1Char('\n'))),
                           kCaption, MB_ICONEXCLAMATION);
            Q_EMIT ReviewFinished();
        });
}

void CLibraryWindow::WriteDossier() {
    if (m_pDossierLink || !m_pStore)
        return;
    CLibraryDossierDlg dialog(this);
    const std::vector<JointRow> selected = SelectedRows();
    if (!selected.empty())
        dialog.m_job = selected[0].fields.job.trimmed();
    dialog.m_askFile = [this](const QString& suggested) {
        return m_askSavePath(QStringLiteral("Job dossier"), suggested);
    };
    dialog.m_describe = [this](const QString& job) {
        int joints = 0;
        QStringList dates;
        for (const JointRow& r : m_model.All())
            if (r.id > 0 && !job.trimmed().isEmpty() && SameJob(r.fields.job, job)) {
                ++joints;
                dates << r.fields.dateTime.left(10);
            }
        std::sort(dates.begin(), dates.end());
        return joints == 0 ? QStringLiteral("No joint of this job is in the library.")
                           : QStringLiteral("%1 joints of this job, dated %2 to %3.")
                                 .arg(joints)
                                 .arg(dates.front(), dates.back());
    };
    if (RunModal(dialog) != IDOK)
        return;
    const auto history = m_pStore->ReviewHistory();
    if (!history) {
        MessageBox(m_pStore->Message(), kCaption, MB_ICONSTOP);
        return;
    }
    DossierRequest request{dialog.m_job, dialog.m_since, dialog.m_until};
    DossierFiles files{dialog.m_file, QString(), QString()};
    m_pDossierCancel = std::make_shared<std::atomic<bool>>(false);
    m_pProgress->setRange(0, 0);
    m_pProgress->show();
    m_pCancel->show();
    m_pCancel->setEnabled(true);
    const auto hook = m_onWorkerProgress;
    const auto cancel = m_pDossierCancel;
    const bool letter = dialog.m_letter, force = dialog.m_force;
    // The rows and their verdicts as the window shows them; the procedure
    // files are read, and every report, on the worker.
    m_pDossierLink = RunOnWorker<QString>(
        [this, rows = m_model.All(), history = *history, request, files, letter, force, hook,
         cancel, now = m_pStore->Now(),
         settings = CSettingsProcedureSource().Read()](CWorkerLink* link) -> QString {
            const std::shared_ptr<const CVerdictBook> book = CVerdictBook::Load(settings);
            DossierJob job;
            QString error;
            if (!FillDossierJob(rows, history, *book, request, now, job, error))
                return error;
            DossierOptions options;
            options.pageSize = letter ? QPageSize::Letter : QPageSize::A4;
            options.force = force;
            options.cancelled = [cancel]() { return cancel->load(); };
            options.progress = [progress = WorkerProgress(link, hook)](
                                   const QString&, int done, int total) { progress(done, total); };
            const JobDossierResult result = WriteJobDossier(job, files, options);
            if (!result.pdf.ok)
                return result.pdf.cancelled ? QStringLiteral("cancelled") : result.pdf.error;
            return QString();
        },
        [this, files](const QString& error) {
            m_pDossierLink = nullptr;
            SetBusy(m_pJobLink != nullptr);
            m_lastDossier = error.isEmpty() ? files.pdf : error;
            if (!error.isEmpty() && error != QLatin1String("cancelled"))
                MessageBox(QStringLiteral("The dossier was not written: %1").arg(SafeLine(error)),
                           kCaption, MB_ICONEXCLAMATION);
            Q_EMIT DossierFinished();
        });
}

void CLibraryWindow::CancelDossier() {
    if (!m_pDossierLink)
        return;
    // The worker stops at its next joint or page and removes what it began;
    // the window does not wait for it.
    m_pDossierCancel->store(true);
    m_pDossierLink->attached = false;
    m_pDossierLink = nullptr;
    m_lastDossier = QStringLiteral("cancelled");
    SetBusy(m_pJobLink != nullptr);
    Q_EMIT DossierFinished();
}
