#include "library/LibraryWindow.h"

#include "framework/Modal.h"
#include "library/ChangeNotices.h"
#include "library/JointExport.h"
#include "library/LibraryCheckDlg.h"
#include "library/LibraryFolders.h"
#include "library/LibraryFoldersDlg.h"
#include "library/LibraryForgetDlg.h"
#include "library/NamedRoots.h"
#include "library/ProcedureSource.h"
#include "library/VerdictBook.h"
#include "platform/Clock.h"
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

// What a reading of the index found, on a worker, for the window.
struct LibrarySnapshot {
    CLibraryStore::OpenResult open = CLibraryStore::OpenResult::Failed;
    QString message;
    bool lost = false; // the server could not be reached, or went away
    std::vector<JointRow> rows;
    std::vector<LibraryRoot> roots; // a named root with this desk's state of it
    std::vector<ForgetItem> missing;
    qint64 clockOffsetMs = 0;
};

namespace {
const QString kCaption = QStringLiteral("Kelvorn Joint Reports");

// Reads the library with a connection of its own, as this desk sees it.
LibrarySnapshot ReadSnapshot(const QString& database, const std::vector<RootMapping>& mappings,
                             int probeMs, int newest) {
    LibrarySnapshot s;
    CLibraryStore store(database);
    s.open = store.Open(CLibraryStore::Mode::Read);
    s.message = store.Message();
    s.lost = store.IsServer() && s.open == CLibraryStore::OpenResult::Failed &&
             s.message.contains(QLatin1String("cannot be reached"));
    if (s.open != CLibraryStore::OpenResult::Ok)
        return s;
    const auto done = [&]() {
        s.open = CLibraryStore::OpenResult::Failed;
        s.message = store.Message();
        s.lost = store.ConnectionLost();
        s.rows.clear();
        return s;
    };
    auto roots = store.Roots();
    if (!roots)
        return done();
    const QHash<qint64, DeskRoot> desk = DeskRootsOf(*roots, mappings, probeMs);
    store.SetDeskRoots(desk);
    JointFilter filter = CLibraryStore::AllJoints();
    filter.newest = newest;
    auto rows = store.Joints(filter);
    if (!rows)
        return done();
    auto missing = store.MissingOlderThan(0);
    if (!missing)
        return done();
    s.clockOffsetMs = store.Now() - CurrentTimeMs();
    for (LibraryRoot& root : *roots)
        if (const auto d = desk.constFind(root.id); d != desk.cend()) {
            root.known = true;
            root.path = d->path;
            root.pathText = d->pathText;
            root.reachable = d->reachable;
            root.reason = d->reason;
        }
    s.rows = std::move(*rows);
    s.roots = std::move(*roots);
    s.missing = std::move(*missing);
    s.message.clear();
    return s;
}

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
    TrackLibraryWorker(thread);
    thread->start();
    return link;
}
} // namespace

CLibraryWindow::CLibraryWindow(const QString& databasePath, QWidget* parent)
    : QWidget(parent), m_nProbeMs(CLibraryScanner::kProbeMs), m_strDatabase(databasePath),
      m_bServer(IsServerUrl(databasePath)), m_model(this) {
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
    auto* forget = new QPushButton(QStringLiteral("Forget missing..."));
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

    m_pState = new QLabel;
    m_pState->setWordWrap(true);
    m_pState->setStyleSheet(QStringLiteral("QLabel { color: #a00000; font-weight: bold; }"));
    m_pState->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_pState);
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
    // A server that could not be reached is asked again now and then.
    m_pRetry = new QTimer(this);
    m_pRetry->setSingleShot(true);
    m_pRetry->setInterval(5000);
    connect(m_pRetry, &QTimer::timeout, this, [this]() { Reload(); });
    m_pProcedureTimer = new QTimer(this);
    m_pProcedureTimer->setInterval(10000);
    connect(m_pProcedureTimer, &QTimer::timeout, this, [this]() {
        if (!CVerdictBook::FilesNamed(CSettingsProcedureSource().Read()).isEmpty())
            RefreshProcedures();
    });
    m_pNextLoad = new QTimer(this);
    m_pNextLoad->setSingleShot(true);
    connect(m_pNextLoad, &QTimer::timeout, this, [this]() {
        if (!m_pLoadLink)
            StartLoad();
    });
    UpdateCount();
}

// Nothing here waits for a worker: one that is stuck on a folder that
// stopped answering ends by itself, and reports to nobody.
CLibraryWindow::~CLibraryWindow() {
    if (m_pCancelFlag)
        m_pCancelFlag->store(true);
    for (CWorkerLink* link :
         {m_pJobLink, m_pExportLink, m_pCheckLink, m_pLoadLink, m_pProcedureLink})
        if (link)
            link->attached = false;
}

bool CLibraryWindow::OpenStore() {
    // The first look runs on a worker (a server may take its time to
    // answer); the window waits for it before it is shown.
    struct Look {
        CLibraryStore::OpenResult result = CLibraryStore::OpenResult::Failed;
        QString message;
    };
    auto look = std::make_shared<Look>();
    QThread* thread = QThread::create([database = m_strDatabase, look]() {
        CLibraryStore store(database);
        look->result = store.Open(CLibraryStore::Mode::Read);
        look->message = store.Message();
    });
    TrackLibraryWorker(thread);
    thread->start();
    if (!thread->wait(QDeadlineTimer(30000))) {
        MessageBox(QStringLiteral("The library %1 does not answer.").arg(m_strDatabase), kCaption,
                   MB_ICONSTOP);
        return false;
    }
    switch (look->result) {
    case CLibraryStore::OpenResult::Ok:
        break;
    case CLibraryStore::OpenResult::NoIndex:
    case CLibraryStore::OpenResult::Older:
    case CLibraryStore::OpenResult::Damaged:
    case CLibraryStore::OpenResult::Busy:
        // The first scan makes an SQLite index, brings it up to date or
        // sets it aside; a server's library is made or upgraded only by
        // init-database.
        if (!m_bServer)
            break;
        [[fallthrough]];
    default:
        MessageBox(look->message, kCaption, MB_ICONSTOP);
        return false;
    }
    m_pNotices = new CChangeNotices(m_strDatabase, this);
    connect(m_pNotices, &CChangeNotices::Changed, this, &CLibraryWindow::FollowCommit);
    connect(m_pNotices, &CChangeNotices::Lost, this, [this](const QString& why) {
        m_pState->setText(why);
        m_pState->show();
    });
    connect(m_pNotices, &CChangeNotices::Back, this, [this]() { Reload(); });
    m_pProcedureTimer->start();
    Reload();
    return true;
}

QString CLibraryWindow::StateText() const {
    return m_pState->isVisible() || !m_pState->isHidden() ? m_pState->text() : QString();
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
    if (m_pNotices)
        m_pNotices->LookNow();
}

void CLibraryWindow::Reload(std::function<void()> then) {
    ++m_nWanted;
    if (then)
        m_afterLoad.emplace_back(m_nWanted, std::move(then));
    m_pNextLoad->stop();
    if (!m_pLoadLink)
        StartLoad();
}

bool CLibraryWindow::Loading() const {
    return m_pLoadLink != nullptr || m_pNextLoad->isActive();
}

void CLibraryWindow::FollowCommit() {
    // Another program's commits (an indexer commits every moment) are read
    // at most once a second.
    ++m_nWanted;
    if (m_pLoadLink || m_pNextLoad->isActive())
        return;
    const qint64 since = m_loadStarted.isValid() ? m_loadStarted.elapsed() : kLoadEveryMs;
    if (since < kLoadEveryMs)
        m_pNextLoad->start(int(kLoadEveryMs - since));
    else
        StartLoad();
}

void CLibraryWindow::StartLoad() {
    m_loadStarted.start();
    const int generation = m_nWanted;
    // The first reading shows the newest joints at once, then the rest: a
    // large library's whole table takes a moment longer.
    const int newest = m_bWhole || m_bPartial ? 0 : kFirstPage;
    // The settings are read here, where they live.
    m_pLoadLink = RunOnWorker<LibrarySnapshot>(
        [database = m_strDatabase, mappings = RootMappings(), probeMs = m_nProbeMs,
         newest](CWorkerLink*) { return ReadSnapshot(database, mappings, probeMs, newest); },
        [this, generation, newest](const LibrarySnapshot& snapshot) {
            m_pLoadLink = nullptr;
            if (newest > 0 && snapshot.open == CLibraryStore::OpenResult::Ok) {
                m_bPartial = true;
                Apply(snapshot);
                StartLoad();
                return;
            }
            if (snapshot.open == CLibraryStore::OpenResult::Ok) {
                m_bWhole = true;
                m_bPartial = false;
            }
            Apply(snapshot);
            std::vector<std::function<void()>> ready;
            for (auto it = m_afterLoad.begin(); it != m_afterLoad.end();)
                if (it->first <= generation) {
                    ready.push_back(std::move(it->second));
                    it = m_afterLoad.erase(it);
                } else {
                    ++it;
                }
            if (m_nWanted > generation && !m_pNextLoad->isActive())
                m_pNextLoad->start(
                    int(std::max<qint64>(0, kLoadEveryMs - m_loadStarted.elapsed())));
            for (auto& f : ready)
                f();
            Q_EMIT Loaded();
        });
}

void CLibraryWindow::Apply(const LibrarySnapshot& snapshot) {
    const bool ok = snapshot.open == CLibraryStore::OpenResult::Ok;
    if (ok || !m_bServer) {
        m_pState->clear();
        m_pState->hide();
    }
    if (!ok && m_bServer) {
        // The rows shown stay: they are what the library held a moment ago.
        m_pState->setText(snapshot.lost
                              ? snapshot.message + QStringLiteral(" The joints shown are those "
                                                                  "read before; the window tries "
                                                                  "again.")
                              : snapshot.message);
        m_pState->show();
        if (snapshot.lost)
            m_pRetry->start();
        return;
    }
    if (!ok && snapshot.open == CLibraryStore::OpenResult::Failed)
        m_pCount->setToolTip(snapshot.message);
    m_roots = snapshot.roots;
    m_missing = snapshot.missing;
    m_nClockOffsetMs = snapshot.clockOffsetMs;
    // The selection is kept by joint, so a reload under the user's hands
    // (another program's commit) does not lose it.
    QSet<qint64> selected;
    for (const JointRow& r : SelectedRows())
        selected.insert(r.id);
    std::vector<JointRow> rows = snapshot.rows;
    // Each verdict against what would be made now; a procedure file not
    // read yet leaves the joints of its rule "not current" until it is.
    const CVerdictBook verdicts(CSettingsProcedureSource().Read(), m_procedureFiles);
    MarkVerdicts(rows, verdicts);
    if (!verdicts.Pending().isEmpty())
        RefreshProcedures();
    m_model.SetRows(std::move(rows));
    if (!selected.isEmpty())
        for (int r = 0; r < m_model.rowCount(); ++r)
            if (selected.contains(m_model.Row(r).id))
                m_pTable->selectionModel()->select(
                    m_model.index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
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
        m_bPartial ? QStringLiteral("%1 newest shown, reading the rest...").arg(m_model.rowCount())
                   : QStringLiteral("%1 of %2 shown").arg(m_model.rowCount()).arg(m_model.Total()));
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
    job.named = RootMappings();
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
            return RunLibraryJob(job, cancel.get(), [this, link, hook](int done, int total) {
                if (hook)
                    hook(done, total);
                QMetaObject::invokeMethod(
                    link,
                    [this, link, done, total]() {
                        if (link->attached)
                            OnProgress(done, total);
                    },
                    Qt::QueuedConnection);
            });
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
    // What the job did shows before anything is said or asked about it.
    Reload([this, result]() {
        if (result.outcome == LibraryJobResult::Busy)
            MessageBox(QStringLiteral("The library is busy: %1. Its joints show here as that "
                                      "program records them; scan again when it is done.")
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
            if (MessageBox(QStringLiteral("%1 is empty or lost most of its joints at once, so "
                                          "they are shown as offline: another card may be in "
                                          "the reader, or a share only half there.\n\nWere its "
                                          "reports deleted or moved on purpose? Yes marks them "
                                          "missing.")
                               .arg(SafeLine(root)),
                           kCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES)
                confirmed << root;
        Q_EMIT ScanFinished();
        if (!confirmed.isEmpty() || m_bRescan) {
            m_bRescan = false;
            StartScan(confirmed);
        }
    });
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
    if (m_pJobLink)
        return;
    CLibraryForgetDlg dialog(this);
    // From the last reading, by the store's clock; the job looks again
    // before it forgets anything.
    dialog.m_missing = [items = m_missing, offset = m_nClockOffsetMs](qint64 ageMs) {
        const qint64 limit = CurrentTimeMs() + offset - ageMs;
        std::vector<ForgetItem> old;
        for (const ForgetItem& item : items)
            if (item.missingSince <= limit)
                old.push_back(item);
        return old;
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
    const JointFile* present = nullptr;
    for (const JointFile& f : rows[0].copies)
        if (!present && f.status == QLatin1String("present") && !f.path.isEmpty())
            present = &f;
    if (!present)
        return;
    // Where this desk spells the name otherwise, the file is looked for on
    // a worker (the share may hang), then opened.
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/vtq-ppc");
    const QString program = QFileInfo(beside).isExecutable() ? beside : QStringLiteral("vtq-ppc");
    RunOnWorker<QByteArray>(
        [base = present->base, path = present->path](CWorkerLink*) {
            return base.isEmpty() ? path : ResolveOnDesk(base, path.mid(base.size() + 1));
        },
        [program](const QByteArray& path) {
            QProcess::startDetached(program, {QFile::decodeName(path)});
        });
}

void CLibraryWindow::ShowFolders() {
    CLibraryFoldersDlg dialog(KnownRoots(), this);
    dialog.m_askFolder = m_askFolder;
    dialog.m_bOffice = m_bServer;
    if (RunModal(dialog) != IDOK)
        return;
    if (m_bServer) {
        // What the user said applies at this desk's next scan, if it scans.
        m_pending.retired.insert(m_pending.retired.end(), dialog.m_retired.begin(),
                                 dialog.m_retired.end());
        m_pending.hereNow << dialog.m_hereNow;
        Reload();
        return;
    }
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
