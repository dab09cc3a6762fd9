#include "library/LibraryWindow.h"

#include "framework/Modal.h"
#include "framework/SettingsStore.h"
#include "library/BrowseTree.h"
#include "library/ChangeNotices.h"
#include "library/FolderWatch.h"
#include "library/JobDossier.h"
#include "library/JointDetailsPane.h"
#include "library/JointExport.h"
#include "library/JointOpening.h"
#include "library/LibraryCheckDlg.h"
#include "library/LibraryDossierDlg.h"
#include "library/LibraryFolders.h"
#include "library/LibraryFoldersDlg.h"
#include "library/LibraryForgetDlg.h"
#include "library/LibraryLayout.h"
#include "library/LibraryReviewDlg.h"
#include "library/NamedRoots.h"
#include "library/ProcedureSource.h"
#include "library/VerdictBook.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/StorageCard.h"
#include "platform/WholeFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDateEdit>
#include <QDesktopServices>
#include <QDockWidget>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

// What a reading of the index found, on a worker, for the window.
struct LibrarySnapshot {
    CLibraryStore::OpenResult open = CLibraryStore::OpenResult::Failed;
    QString message;
    bool lost = false; // the server could not be reached, or went away
    // The joints with their verdicts marked, made ready for the table.
    JointTableRows table;
    BrowseFacts facts;
    std::vector<LibraryRoot> roots; // a named root with this desk's state of it
    // Each folder's joints and the missing files, read with the whole table
    // only: the first rows come before them.
    std::optional<QHash<qint64, RootJoints>> rootJoints;
    std::optional<std::vector<ForgetItem>> missing;
    qint64 clockOffsetMs = 0;
};

namespace {
const QString kCaption = QStringLiteral("Kelvorn Joint Reports");
// The pause after a keystroke before the search runs.
constexpr int kSearchDelayMs = 150;
// Progress from a worker is shown at most this often.
constexpr int kProgressEveryMs = 100;

// What a reading needs from the window: where the index is and how this
// desk reaches its named roots; the verdicts to mark; the table's order.
struct SnapshotRequest {
    QString database;
    std::vector<RootMapping> mappings;
    int probeMs = 0;
    int newest = 0; // only the newest this many joints (0: all)
    std::shared_ptr<const CVerdictBook> verdicts;
    int sortColumn = JC_DATE_TIME;
    Qt::SortOrder sortOrder = Qt::DescendingOrder;
};

// Reads the library with a connection of its own, as this desk sees it,
// and makes what it read ready for the window, so that the window's thread
// only puts it in place.
LibrarySnapshot ReadSnapshot(const SnapshotRequest& request) {
    const QString& database = request.database;
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
        return s;
    };
    auto roots = store.Roots();
    if (!roots)
        return done();
    const QHash<qint64, DeskRoot> desk = DeskRootsOf(*roots, request.mappings, request.probeMs);
    store.SetDeskRoots(desk);
    JointFilter filter = CLibraryStore::AllJoints();
    filter.newest = request.newest;
    auto rows = store.Joints(filter);
    if (!rows)
        return done();
    if (request.newest == 0) {
        s.rootJoints = store.JointsPerRoot();
        s.missing = s.rootJoints ? store.MissingOlderThan(0) : std::nullopt;
        if (!s.missing)
            return done();
    }
    s.clockOffsetMs = store.Now() - CurrentTimeMs();
    for (LibraryRoot& root : *roots)
        if (const auto d = desk.constFind(root.id); d != desk.cend()) {
            root.known = true;
            root.path = d->path;
            root.pathText = d->pathText;
            root.reachable = d->reachable;
            root.reason = d->reason;
        }
    MarkVerdicts(*rows, *request.verdicts);
    s.table = PrepareJointRows(std::move(*rows), request.sortColumn, request.sortOrder);
    s.facts = BrowseFactsOf(s.table.rows);
    s.roots = std::move(*roots);
    s.message.clear();
    return s;
}

QString Setting(const QString& name, const QString& fallback = {}) {
    return ReadSettingText(kKeyLibraryWindow, name, fallback);
}
void PutSetting(const QString& name, const QString& value) {
    WriteSettingText(kKeyLibraryWindow, name, value);
}

QStringList ColumnKeys() {
    QStringList keys;
    for (int c = 0; c < JC_COUNT; ++c)
        keys << JointColumnKey(c);
    return keys;
}

// An icon of the desktop's theme, else one of the style's own.
QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(QString::fromLatin1(name),
                            QApplication::style()->standardIcon(fallback));
}

QString DurationText(qint64 seconds) {
    if (seconds < 60)
        return QStringLiteral("about %1 s left").arg(std::max<qint64>(1, seconds));
    if (seconds < 3600)
        return QStringLiteral("about %1 min left").arg((seconds + 30) / 60);
    return QStringLiteral("about %1 h %2 min left").arg(seconds / 3600).arg(seconds % 3600 / 60);
}

// Shows the file in the desktop's file manager, selected where the file
// manager can (the freedesktop FileManager1 service); else opens its folder.
void ShowInFileManager(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 3000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, folder]() {
        if (watcher->isError())
            QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
        watcher->deleteLater();
    });
}
} // namespace

int LibraryRescanMinutes() {
    return std::clamp(ReadSettingInt(kKeyLibrary, QStringLiteral("RescanMinutes"), 15), 1, 1440);
}

void SetLibraryRescanMinutes(int minutes) {
    WriteSettingInt(kKeyLibrary, QStringLiteral("RescanMinutes"), std::clamp(minutes, 1, 1440));
}

CLibraryWindow::CLibraryWindow(const QString& databasePath, QWidget* parent)
    : QMainWindow(parent), m_nProbeMs(CLibraryScanner::kProbeMs), m_strDatabase(databasePath),
      m_bServer(IsServerUrl(databasePath)), m_model(this) {
    setWindowTitle(kCaption);
    setAcceptDrops(true);
    m_askSavePath = [this](const QString& title, const QString& suggested) {
        return QFileDialog::getSaveFileName(this, title, suggested);
    };
    m_askFolder = [this](const QString& title) {
        return QFileDialog::getExistingDirectory(this, title);
    };
    m_startViewer = [](const QString& program, const QString& path) {
        QProcess::startDetached(program, {path});
    };
    m_showInFolder = &ShowInFileManager;

    // The table.
    m_pTable = new QTableView;
    m_pTable->setModel(&m_model);
    m_pTable->setSortingEnabled(true);
    m_pTable->sortByColumn(JC_DATE_TIME, Qt::DescendingOrder);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->setAlternatingRowColors(true);
    m_pTable->setWordWrap(false);
    m_pTable->verticalHeader()->hide();
    m_pTable->verticalHeader()->setDefaultSectionSize(m_pTable->fontMetrics().height() + 6);
    m_pTable->horizontalHeader()->setStretchLastSection(true);
    m_pTable->horizontalHeader()->setSectionsMovable(true);
    m_pTable->horizontalHeader()->setHighlightSections(false);
    m_pTable->horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
    m_pTable->setContextMenuPolicy(Qt::CustomContextMenu);
    // Rows dragged out are their files (to a file manager, a mail).
    m_pTable->setDragEnabled(true);
    m_pTable->setDragDropMode(QAbstractItemView::DragOnly);
    m_pTable->setDefaultDropAction(Qt::CopyAction);
    static const int widths[JC_COUNT] = {150, 50, 110, 80, 90, 70, 80,  110, 70,
                                         110, 60, 60,  80, 70, 45, 200, 260, 110};
    for (int c = 0; c < JC_COUNT; ++c)
        m_pTable->setColumnWidth(c, widths[c]);

    auto* tableColumn = new QWidget;
    auto* tableLayout = new QVBoxLayout(tableColumn);
    tableLayout->setContentsMargins(0, 0, 0, 0);
    tableLayout->setSpacing(4);
    auto* filters = new QWidget;
    BuildFilters(filters);
    tableLayout->addWidget(filters);
    m_pState = new QLabel;
    m_pState->setWordWrap(true);
    m_pState->setStyleSheet(QStringLiteral("QLabel { color: #a00000; font-weight: bold; }"));
    m_pState->hide();
    tableLayout->addWidget(m_pState);
    tableLayout->addWidget(m_pTable, 1);

    m_pTree = new CBrowseTree;
    m_pPane = new CJointDetailsPane;
    m_pPane->AddSection(QStringLiteral("review"), QStringLiteral("Review"));
    m_pSplitter = new QSplitter(Qt::Horizontal);
    m_pSplitter->addWidget(m_pTree);
    m_pSplitter->addWidget(tableColumn);
    m_pSplitter->addWidget(m_pPane);
    m_pSplitter->setStretchFactor(0, 0);
    m_pSplitter->setStretchFactor(1, 1);
    m_pSplitter->setStretchFactor(2, 0);
    m_pSplitter->setChildrenCollapsible(false);
    m_pSplitter->setSizes({200, 740, 430});
    auto* central = new QWidget;
    auto* centralLayout = new QVBoxLayout(central);
    centralLayout->setContentsMargins(6, 6, 6, 0);
    centralLayout->addWidget(m_pSplitter);
    setCentralWidget(central);

    m_pProblems = new QListWidget;
    m_pProblems->setWordWrap(false);
    m_pProblems->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pProblemsDock = new QDockWidget(QStringLiteral("Problems"), this);
    m_pProblemsDock->setObjectName(QStringLiteral("problems"));
    m_pProblemsDock->setWidget(m_pProblems);
    m_pProblemsDock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    addDockWidget(Qt::BottomDockWidgetArea, m_pProblemsDock);
    resizeDocks({m_pProblemsDock}, {140}, Qt::Vertical);
    m_pProblemsDock->hide();

    BuildActions();
    BuildMenus();
    BuildToolBar();
    BuildStatusBar();
    resize(1360, 780);

    m_pSearchDelay = new QTimer(this);
    m_pSearchDelay->setSingleShot(true);
    m_pSearchDelay->setInterval(kSearchDelayMs);
    connect(m_pSearchDelay, &QTimer::timeout, this, &CLibraryWindow::ApplyFilter);
    m_pDetailsDelay = new QTimer(this);
    m_pDetailsDelay->setSingleShot(true);
    m_pDetailsDelay->setInterval(80);
    connect(m_pDetailsDelay, &QTimer::timeout, this, &CLibraryWindow::ReadDetails);
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
    m_pScanSoon = new QTimer(this);
    m_pScanSoon->setSingleShot(true);
    connect(m_pScanSoon, &QTimer::timeout, this, [this]() {
        if (Scanning())
            m_bRescan = true;
        else
            StartScan();
    });
    m_pTimedRescan = new QTimer(this);
    m_pTimedRescan->setInterval(LibraryRescanMinutes() * 60000);
    connect(m_pTimedRescan, &QTimer::timeout, this, [this]() {
        if (!m_timedFolders.isEmpty())
            ScanSoon(QStringList(m_timedFolders).join(QStringLiteral(", ")) +
                         QStringLiteral(": rescanned on the timer"),
                     0);
    });
    m_pTimedRescan->start();

    connect(m_pSearch, &QLineEdit::textChanged, this, [this]() { m_pSearchDelay->start(); });
    connect(m_pSearch, &QLineEdit::returnPressed, this, [this]() {
        ApplyFilter();
        m_pTable->setFocus();
        if (m_model.rowCount() > 0 && !m_pTable->currentIndex().isValid())
            m_pTable->selectRow(0);
    });
    for (QComboBox* box : {m_pStatus, m_pVerdict, m_pReview})
        connect(box, &QComboBox::currentIndexChanged, this, &CLibraryWindow::ApplyFilter);
    connect(m_pDates, &QCheckBox::toggled, this, [this](bool on) {
        m_pSince->setEnabled(on);
        m_pUntil->setEnabled(on);
        ApplyFilter();
    });
    connect(m_pSince, &QDateEdit::dateChanged, this, &CLibraryWindow::ApplyFilter);
    connect(m_pUntil, &QDateEdit::dateChanged, this, &CLibraryWindow::ApplyFilter);
    connect(m_pTree, &CBrowseTree::Chosen, this, &CLibraryWindow::ApplyFilter);
    // Enter and double-click (the desktop's "activate") open the joint.
    connect(m_pTable, &QTableView::activated, this, &CLibraryWindow::OpenSelected);
    connect(m_pTable, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        ContextMenu()->popup(m_pTable->viewport()->mapToGlobal(at));
    });
    connect(m_pTable->horizontalHeader(), &QWidget::customContextMenuRequested, this,
            &CLibraryWindow::ShowColumnMenu);
    connect(m_pTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CLibraryWindow::OnCurrentChanged);
    connect(m_pTable->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &CLibraryWindow::OnCurrentChanged);

    m_pWatch = new CFolderWatch(this);
    connect(m_pWatch, &CFolderWatch::FilesReady, this, [this](const QStringList& paths) {
        for (const QString& p : paths)
            if (!m_queuedFiles.contains(p))
                m_queuedFiles << p;
        RunQueuedJob();
    });
    connect(m_pWatch, &CFolderWatch::ScanWanted, this,
            [this](const QString& why) { ScanSoon(why, 3000); });
    connect(m_pWatch, &CFolderWatch::FolderState, this,
            [this](const QString& folder, int state, const QString& why) {
                if (state == CFolderWatch::Watched) {
                    m_timedFolders.removeAll(folder);
                    return;
                }
                const QString name = folder.isEmpty() ? QStringLiteral("Folders") : folder;
                if (!m_timedFolders.contains(name))
                    m_timedFolders << name;
                AddProblem(QStringLiteral("%1: %2; rescanned every %3 min instead of watched")
                               .arg(SafeLine(name), why)
                               .arg(LibraryRescanMinutes()));
            });

    // The review beside the verdict and the state, where it is looked for;
    // a layout the user left wins.
    {
        QHeaderView* header = m_pTable->horizontalHeader();
        header->moveSection(header->visualIndex(JC_REVIEW), header->visualIndex(JC_STATUS) + 1);
    }
    RestoreLayout();
    UpdateCount();
    UpdateCommands();
}

// Nothing here waits for a worker: one that is stuck on a folder that
// stopped answering ends by itself, and reports to nobody.
CLibraryWindow::~CLibraryWindow() {
    SaveLayout();
    if (m_pCancelFlag)
        m_pCancelFlag->store(true);
    if (m_pDossierCancel)
        m_pDossierCancel->store(true);
    for (CWorkerLink** link :
         {&m_pJobLink, &m_pExportLink, &m_pCheckLink, &m_pOpenLink, &m_pDetailsLink, &m_pDropLink,
          &m_pProcedureLink, &m_pLoadLink, &m_pReviewLink, &m_pDossierLink})
        CutLink(*link);
}

void CLibraryWindow::BuildFilters(QWidget* bar) {
    m_pVerdict = new QComboBox;
    m_pVerdict->addItem(QStringLiteral("Any verdict"), QString());
    for (const char* s : {"pass", "fail", "incomplete"})
        m_pVerdict->addItem(QString::fromLatin1(s), QString::fromLatin1(s));
    // Joints the procedure does not cover (sidewall, Tarvex, demonstration
    // logs), and verdicts made by another procedure or check.
    m_pVerdict->addItem(QStringLiteral("not judged"), QStringLiteral("unknown"));
    m_pVerdict->addItem(QStringLiteral("not current"), QStringLiteral("not-current"));
    m_pVerdict->setToolTip(QStringLiteral("Show joints with this verdict of the procedure check"));
    m_pStatus = new QComboBox;
    for (const char* s : {"present", "missing", "offline", "unreadable", "all"})
        m_pStatus->addItem(QString::fromLatin1(s));
    m_pStatus->setToolTip(QStringLiteral("Show joints whose report is present, missing, offline, "
                                         "files that are no report, or all"));
    m_pDates = new QCheckBox(QStringLiteral("&Dates from"));
    m_pSince = new QDateEdit(QDate::currentDate().addMonths(-1));
    m_pUntil = new QDateEdit(QDate::currentDate());
    for (QDateEdit* d : {m_pSince, m_pUntil}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        d->setEnabled(false);
    }
    auto* verdictLabel = new QLabel(QStringLiteral("&Verdict"));
    verdictLabel->setBuddy(m_pVerdict);
    m_pReview = new QComboBox;
    m_pReview->addItem(QStringLiteral("Any review"), QString());
    for (const QString& state : ReviewStates())
        m_pReview->addItem(state, state);
    m_pReview->addItem(QStringLiteral("not reviewed"), QStringLiteral("not reviewed"));
    m_pReview->addItem(QStringLiteral("changed since review"), QStringLiteral("changed"));
    m_pReview->setToolTip(QStringLiteral("Show joints with this review"));
    auto* reviewLabel = new QLabel(QStringLiteral("Re&view"));
    reviewLabel->setBuddy(m_pReview);
    auto* statusLabel = new QLabel(QStringLiteral("S&tatus"));
    statusLabel->setBuddy(m_pStatus);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(verdictLabel);
    row->addWidget(m_pVerdict);
    row->addSpacing(8);
    row->addWidget(reviewLabel);
    row->addWidget(m_pReview);
    row->addSpacing(8);
    row->addWidget(statusLabel);
    row->addWidget(m_pStatus);
    row->addSpacing(8);
    row->addWidget(m_pDates);
    row->addWidget(m_pSince);
    row->addWidget(new QLabel(QStringLiteral("to")));
    row->addWidget(m_pUntil);
    row->addStretch(1);
}

void CLibraryWindow::BuildActions() {
    const auto add = [this](const QString& name, const QString& text, QKeySequence keys,
                            const QIcon& icon, std::function<void()> run) {
        auto* action = new QAction(icon, text, this);
        if (!keys.isEmpty())
            action->setShortcut(keys);
        action->setShortcutVisibleInContextMenu(true);
        connect(action, &QAction::triggered, this, std::move(run));
        m_commands[name] = action;
        addAction(action);
        return action;
    };
    // Enter opens from the table itself (the desktop's "activate"); the
    // menu shows it.
    add(QStringLiteral("open"), QStringLiteral("&Open"), {},
        ThemeIcon("document-open", QStyle::SP_DialogOpenButton), [this]() { OpenSelected(); })
        ->setToolTip(QStringLiteral("Show the selected joint's report in the report viewer "
                                    "(Enter)"));
    add(QStringLiteral("show-in-folder"), QStringLiteral("Show in &folder"),
        QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_O),
        ThemeIcon("folder-open", QStyle::SP_DirOpenIcon), [this]() { ShowSelectedInFolder(); });
    add(QStringLiteral("check"), QStringLiteral("&Check..."), QKeySequence(Qt::CTRL | Qt::Key_K),
        ThemeIcon("dialog-information", QStyle::SP_FileDialogDetailedView),
        [this]() { ShowCheck(); });
    add(QStringLiteral("copy-path"), QStringLiteral("Copy &path"),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), ThemeIcon("edit-copy", QStyle::SP_FileIcon),
        [this]() { CopySelectedPaths(); });
    add(QStringLiteral("export-pdf"), QStringLiteral("Export P&DFs..."),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E),
        ThemeIcon("document-export", QStyle::SP_DriveFDIcon), [this]() { ExportPdfs(); });
    add(QStringLiteral("export-list"), QStringLiteral("Export &list..."),
        QKeySequence(Qt::CTRL | Qt::Key_E),
        ThemeIcon("x-office-spreadsheet", QStyle::SP_FileDialogListView),
        [this]() { ExportList(); });
    add(QStringLiteral("scan"), QStringLiteral("&Scan"), QKeySequence::Refresh,
        ThemeIcon("view-refresh", QStyle::SP_BrowserReload), [this]() { StartScan(); })
        ->setToolTip(QStringLiteral("Look through the library's folders for new, changed and "
                                    "vanished reports (F5)"));
    add(QStringLiteral("cancel"), QStringLiteral("Ca&ncel"), QKeySequence(Qt::Key_Escape),
        ThemeIcon("process-stop", QStyle::SP_BrowserStop), [this]() { OnCancel(); })
        ->setToolTip(QStringLiteral("Stop the scan (Esc)"));
    add(QStringLiteral("review"), QStringLiteral("&Review..."), QKeySequence(Qt::CTRL | Qt::Key_R),
        ThemeIcon("mail-mark-task", QStyle::SP_DialogApplyButton), [this]() { ReviewSelected(); })
        ->setToolTip(QStringLiteral("Accept, reject or send for re-test the selected joints "
                                    "(Ctrl+R)"));
    add(QStringLiteral("dossier"), QStringLiteral("Job &dossier..."),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D),
        ThemeIcon("x-office-document", QStyle::SP_FileDialogInfoView), [this]() { WriteDossier(); })
        ->setToolTip(QStringLiteral("One PDF of a job's joints, their checks and reviews for its "
                                    "owner"));
    add(QStringLiteral("folders"), QStringLiteral("F&olders..."), {},
        ThemeIcon("folder", QStyle::SP_DirIcon), [this]() { ShowFolders(); });
    add(QStringLiteral("forget"), QStringLiteral("Fo&rget missing..."), {},
        ThemeIcon("edit-delete", QStyle::SP_TrashIcon), [this]() { ForgetMissing(); });
    add(QStringLiteral("find"), QStringLiteral("&Find"), QKeySequence::Find,
        ThemeIcon("edit-find", QStyle::SP_FileDialogContentsView), [this]() {
            m_pSearch->setFocus(Qt::ShortcutFocusReason);
            m_pSearch->selectAll();
        });
    add(QStringLiteral("quit"), QStringLiteral("&Quit"), QKeySequence::Quit,
        ThemeIcon("application-exit", QStyle::SP_DialogCloseButton), [this]() { close(); });
    const auto toggle = [&](const QString& name, const QString& text, QKeySequence keys,
                            QWidget* widget) {
        QAction* action = add(name, text, keys, QIcon(), [] {});
        action->setCheckable(true);
        action->setChecked(true);
        connect(action, &QAction::toggled, widget, &QWidget::setVisible);
        return action;
    };
    toggle(QStringLiteral("tree"), QStringLiteral("&Browse tree"), QKeySequence(Qt::Key_F9),
           m_pTree);
    toggle(QStringLiteral("details"), QStringLiteral("&Details pane"), QKeySequence(Qt::Key_F3),
           m_pPane);
    QAction* problems = toggle(QStringLiteral("problems"), QStringLiteral("&Problems"),
                               QKeySequence(Qt::CTRL | Qt::Key_J), m_pProblemsDock);
    problems->setChecked(false);
    connect(m_pProblemsDock, &QDockWidget::visibilityChanged, problems,
            [this, problems](bool) { problems->setChecked(!m_pProblemsDock->isHidden()); });
}

void CLibraryWindow::BuildMenus() {
    const auto cmd = [this](const char* name) { return m_commands.at(QString::fromLatin1(name)); };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(cmd("open"));
    file->addAction(cmd("show-in-folder"));
    file->addAction(cmd("copy-path"));
    file->addSeparator();
    file->addAction(cmd("export-list"));
    file->addAction(cmd("export-pdf"));
    file->addSeparator();
    file->addAction(cmd("quit"));
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->addAction(cmd("find"));
    edit->addAction(QStringLiteral("Select &all"), QKeySequence::SelectAll, this, [this]() {
        m_pTable->setFocus();
        m_pTable->selectAll();
    });
    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->addAction(cmd("tree"));
    view->addAction(cmd("details"));
    view->addAction(cmd("problems"));
    QMenu* columns = view->addMenu(QStringLiteral("&Columns"));
    connect(columns, &QMenu::aboutToShow, this, [this, columns]() {
        columns->clear();
        QHeaderView* header = m_pTable->horizontalHeader();
        for (int c = 0; c < JC_COUNT; ++c) {
            QAction* a = columns->addAction(JointColumnTitle(c));
            a->setCheckable(true);
            a->setChecked(!header->isSectionHidden(c));
            connect(a, &QAction::toggled, this, [header, c](bool on) {
                if (on || header->count() - header->hiddenSectionCount() > 1)
                    header->setSectionHidden(c, !on);
            });
        }
    });
    QMenu* library = menuBar()->addMenu(QStringLiteral("&Library"));
    library->addAction(cmd("scan"));
    library->addAction(cmd("cancel"));
    library->addSeparator();
    library->addAction(cmd("check"));
    library->addAction(cmd("review"));
    library->addAction(cmd("dossier"));
    library->addSeparator();
    library->addAction(cmd("folders"));
    library->addAction(cmd("forget"));
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("&About Kelvorn Joint Reports"), this, []() {
        MessageBox(QStringLiteral("Kelvorn Joint Reports %1\n\nThe library of joint reports of "
                                  "Kelvorn VTQ-PPC.")
                       .arg(QStringLiteral(VTQ_VERSION)),
                   kCaption, MB_ICONINFORMATION);
    });

    m_pContext = new QMenu(this);
    for (const char* name : {"open", "show-in-folder", "check", "review", "copy-path"})
        m_pContext->addAction(cmd(name));
    m_pContext->addSeparator();
    m_pContext->addAction(cmd("export-pdf"));
    m_pContext->addAction(cmd("export-list"));
}

void CLibraryWindow::BuildToolBar() {
    QToolBar* bar = addToolBar(QStringLiteral("Commands"));
    bar->setObjectName(QStringLiteral("commands"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    for (const char* name : {"scan", "cancel", "", "open", "show-in-folder", "check", "review", "",
                             "export-list", "export-pdf", "", "folders"}) {
        if (*name)
            bar->addAction(m_commands.at(QString::fromLatin1(name)));
        else
            bar->addSeparator();
    }
    auto* spacer = new QWidget;
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(spacer);
    m_pSearch = new QLineEdit;
    m_pSearch->setPlaceholderText(
        QStringLiteral("Search job, employee, machine, model, joint, notes, file (Ctrl+F)"));
    m_pSearch->setClearButtonEnabled(true);
    m_pSearch->addAction(ThemeIcon("edit-find", QStyle::SP_FileDialogContentsView),
                         QLineEdit::LeadingPosition);
    m_pSearch->setMinimumWidth(340);
    m_pSearch->setMaximumWidth(480);
    bar->addWidget(m_pSearch);
}

void CLibraryWindow::BuildStatusBar() {
    m_pFolder = new QLabel;
    m_pFolder->setMinimumWidth(100);
    m_pFolder->setTextFormat(Qt::PlainText);
    m_pCount = new QLabel;
    m_pTimeLeft = new QLabel;
    m_pProgress = new QProgressBar;
    m_pProgress->setMaximumWidth(180);
    m_pProgress->setMaximumHeight(16);
    m_pProgress->hide();
    m_pCancel = new QPushButton(QStringLiteral("Cancel"));
    m_pCancel->setFlat(true);
    m_pCancel->hide();
    connect(m_pCancel, &QPushButton::clicked, this, &CLibraryWindow::OnCancel);
    m_pProblemsButton = new QToolButton;
    m_pProblemsButton->setAutoRaise(true);
    m_pProblemsButton->setIcon(ThemeIcon("dialog-warning", QStyle::SP_MessageBoxWarning));
    m_pProblemsButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_pProblemsButton->hide();
    connect(m_pProblemsButton, &QToolButton::clicked, this,
            [this]() { m_pProblemsDock->setVisible(!m_pProblemsDock->isVisible()); });
    statusBar()->addWidget(m_pFolder, 1);
    statusBar()->addPermanentWidget(m_pTimeLeft);
    statusBar()->addPermanentWidget(m_pProgress);
    statusBar()->addPermanentWidget(m_pCancel);
    statusBar()->addPermanentWidget(m_pProblemsButton);
    statusBar()->addPermanentWidget(m_pCount);
}

QAction* CLibraryWindow::Command(const QString& name) const {
    const auto it = m_commands.find(name);
    return it == m_commands.end() ? nullptr : it->second;
}

QMenu* CLibraryWindow::ContextMenu() {
    UpdateCommands();
    return m_pContext;
}

void CLibraryWindow::ShowColumnMenu(const QPoint& at) {
    // The column chooser: every column by its title, shown or not.
    QMenu menu(this);
    QHeaderView* header = m_pTable->horizontalHeader();
    for (int c = 0; c < JC_COUNT; ++c) {
        QAction* a = menu.addAction(JointColumnTitle(c));
        a->setCheckable(true);
        a->setChecked(!header->isSectionHidden(c));
        a->setData(c);
    }
    QAction* chosen = menu.exec(header->mapToGlobal(at));
    if (!chosen)
        return;
    const int c = chosen->data().toInt();
    if (chosen->isChecked() || header->count() - header->hiddenSectionCount() > 1)
        header->setSectionHidden(c, !chosen->isChecked());
}

void CLibraryWindow::RestoreLayout() {
    const QByteArray geometry =
        QByteArray::fromBase64(Setting(QStringLiteral("Geometry")).toLatin1());
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    const QByteArray docks = QByteArray::fromBase64(Setting(QStringLiteral("Docks")).toLatin1());
    if (!docks.isEmpty())
        restoreState(docks);
    const QByteArray splitter =
        QByteArray::fromBase64(Setting(QStringLiteral("Splitter")).toLatin1());
    if (!splitter.isEmpty())
        m_pSplitter->restoreState(splitter);
    m_commands.at(QStringLiteral("tree"))
        ->setChecked(Setting(QStringLiteral("Tree"), QStringLiteral("1")) != QLatin1String("0"));
    m_commands.at(QStringLiteral("details"))
        ->setChecked(Setting(QStringLiteral("Details"), QStringLiteral("1")) != QLatin1String("0"));
    QHeaderView* header = m_pTable->horizontalHeader();
    ApplyHeaderLayout(*header, ColumnKeys(), ParseColumnLayout(Setting(QStringLiteral("Columns"))));
    const QString sort = Setting(QStringLiteral("Sort"));
    const int sortColumn = int(ColumnKeys().indexOf(sort.section(QLatin1Char(' '), 0, 0)));
    if (sortColumn >= 0)
        m_pTable->sortByColumn(sortColumn,
                               sort.section(QLatin1Char(' '), 1) == QLatin1String("ascending")
                                   ? Qt::AscendingOrder
                                   : Qt::DescendingOrder);
    // The filters as they were, without a filter run for each.
    const QSignalBlocker b1(m_pSearch), b2(m_pStatus), b3(m_pVerdict), b4(m_pDates), b5(m_pSince),
        b6(m_pUntil);
    m_pSearch->setText(Setting(QStringLiteral("Search")));
    const int status =
        m_pStatus->findText(Setting(QStringLiteral("Status"), QStringLiteral("present")));
    m_pStatus->setCurrentIndex(std::max(0, status));
    m_pVerdict->setCurrentIndex(
        std::max(0, m_pVerdict->findData(Setting(QStringLiteral("Verdict")))));
    const QDate since = QDate::fromString(Setting(QStringLiteral("Since")), Qt::ISODate);
    const QDate until = QDate::fromString(Setting(QStringLiteral("Until")), Qt::ISODate);
    if (since.isValid())
        m_pSince->setDate(since);
    if (until.isValid())
        m_pUntil->setDate(until);
    const bool dates = Setting(QStringLiteral("Dates")) == QLatin1String("1");
    m_pDates->setChecked(dates);
    m_pSince->setEnabled(dates);
    m_pUntil->setEnabled(dates);
    {
        const QSignalBlocker b7(m_pTree);
        m_pTree->Choose(BrowseChoice::FromText(Setting(QStringLiteral("Browse"))));
    }
    m_bLayoutRestored = true;
    ApplyFilter();
}

void CLibraryWindow::SaveLayout() {
    if (!m_bLayoutRestored)
        return;
    PutSetting(QStringLiteral("Geometry"), QString::fromLatin1(saveGeometry().toBase64()));
    PutSetting(QStringLiteral("Docks"), QString::fromLatin1(saveState().toBase64()));
    PutSetting(QStringLiteral("Splitter"),
               QString::fromLatin1(m_pSplitter->saveState().toBase64()));
    PutSetting(QStringLiteral("Tree"), m_commands.at(QStringLiteral("tree"))->isChecked()
                                           ? QStringLiteral("1")
                                           : QStringLiteral("0"));
    PutSetting(QStringLiteral("Details"), m_commands.at(QStringLiteral("details"))->isChecked()
                                              ? QStringLiteral("1")
                                              : QStringLiteral("0"));
    PutSetting(QStringLiteral("Columns"),
               ColumnLayoutText(HeaderLayout(*m_pTable->horizontalHeader(), ColumnKeys())));
    PutSetting(QStringLiteral("Sort"),
               JointColumnKey(m_model.SortColumn()) + (m_model.SortOrder() == Qt::AscendingOrder
                                                           ? QStringLiteral(" ascending")
                                                           : QStringLiteral(" descending")));
    PutSetting(QStringLiteral("Search"), m_pSearch->text());
    PutSetting(QStringLiteral("Status"), m_pStatus->currentText());
    PutSetting(QStringLiteral("Verdict"), m_pVerdict->currentData().toString());
    PutSetting(QStringLiteral("Dates"),
               m_pDates->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    PutSetting(QStringLiteral("Since"), m_pSince->date().toString(Qt::ISODate));
    PutSetting(QStringLiteral("Until"), m_pUntil->date().toString(Qt::ISODate));
    PutSetting(QStringLiteral("Browse"), m_pTree->Choice().Text());
}

void CLibraryWindow::closeEvent(QCloseEvent* event) {
    SaveLayout();
    QMainWindow::closeEvent(event);
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
    KeepLibraryWorker(thread);
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
    return m_pState->isHidden() ? QString() : m_pState->text();
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
    // The settings are read here, where they live. Each verdict is marked
    // against what would be made now; a procedure file not read yet leaves
    // the joints of its rule "not current" until it is.
    SnapshotRequest request{
        m_strDatabase,
        RootMappings(),
        m_nProbeMs,
        newest,
        std::make_shared<const CVerdictBook>(CSettingsProcedureSource().Read(), m_procedureFiles),
        m_model.SortColumn(),
        m_model.SortOrder()};
    if (!request.verdicts->Pending().isEmpty())
        RefreshProcedures();
    m_pLoadLink = RunOnWorker<LibrarySnapshot>(
        [request = std::move(request)](CWorkerLink*) { return ReadSnapshot(request); },
        [this, generation, newest](LibrarySnapshot& snapshot) {
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

void CLibraryWindow::Apply(LibrarySnapshot& snapshot) {
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
    if (snapshot.rootJoints && snapshot.missing) {
        m_rootJoints = *snapshot.rootJoints;
        m_missing = *snapshot.missing;
    } else if (!ok) {
        m_rootJoints.clear();
        m_missing.clear();
    }
    m_nClockOffsetMs = snapshot.clockOffsetMs;
    // The selection, the current joint and the first joint in view are
    // kept by joint, so that a reading under the user's hands (another
    // program's commit, a scan) moves nothing.
    const QSet<qint64> selected = SelectedJoints();
    const QModelIndex current = m_pTable->currentIndex();
    const qint64 currentJoint = current.isValid() ? m_model.Row(current.row()).id : 0;
    const int topRow = m_pTable->rowAt(0);
    const qint64 topJoint = topRow >= 0 ? m_model.Row(topRow).id : 0;

    {
        // The selection is put back below; the pane keeps what it shows.
        const QSignalBlocker block(m_pTable->selectionModel());
        m_model.SetRows(std::move(snapshot.table));
        m_pTable->selectionModel()->select(RowsOfJoints(selected),
                                           QItemSelectionModel::ClearAndSelect);
        const int currentRow = currentJoint != 0 ? m_model.RowOfJoint(currentJoint) : -1;
        if (currentRow >= 0)
            m_pTable->selectionModel()->setCurrentIndex(
                m_model.index(currentRow, std::max(0, current.column())),
                QItemSelectionModel::NoUpdate);
        const int top = topJoint != 0 ? m_model.RowOfJoint(topJoint) : -1;
        if (top >= 0)
            m_pTable->scrollTo(m_model.index(top, 0), QAbstractItemView::PositionAtTop);
    }
    m_pTree->SetFacts(snapshot.facts);
    OnCurrentChanged();
    UpdateCount();
    UpdateWatch();
}

void CLibraryWindow::ApplyFilter() {
    m_pSearchDelay->stop();
    JointFilter f;
    f.search = m_pSearch->text().trimmed();
    f.status = m_pStatus->currentText();
    f.verdict = m_pVerdict->currentData().toString();
    f.review = m_pReview->currentData().toString();
    if (m_pDates->isChecked()) {
        f.since = m_pSince->date();
        f.until = m_pUntil->date();
    }
    f.browse = m_pTree->Choice();
    if (f == m_model.Filter()) {
        UpdateCount();
        return;
    }
    const QSet<qint64> selected = SelectedJoints();
    {
        const QSignalBlocker block(m_pTable->selectionModel());
        m_model.SetFilter(f);
        const QItemSelection keep = RowsOfJoints(selected);
        m_pTable->selectionModel()->select(keep, QItemSelectionModel::ClearAndSelect);
        if (!keep.isEmpty()) {
            m_pTable->selectionModel()->setCurrentIndex(keep.indexes().value(0),
                                                        QItemSelectionModel::NoUpdate);
            m_pTable->scrollTo(keep.indexes().value(0));
        }
    }
    OnCurrentChanged();
    UpdateCount();
}

void CLibraryWindow::UpdateCount() {
    m_pCount->setText(
        m_bPartial ? QStringLiteral("%1 newest shown, reading the rest...").arg(m_model.rowCount())
                   : QStringLiteral("%1 of %2 shown").arg(m_model.rowCount()).arg(m_model.Total()));
}

void CLibraryWindow::UpdateCommands() {
    const std::vector<int> rows = SelectedRowNumbers();
    bool joint = false, present = false;
    for (int r : rows) {
        joint = joint || m_model.Row(r).id > 0;
        present = present || !PresentCopy(m_model.Row(r)).isEmpty();
    }
    m_commands.at(QStringLiteral("open"))->setEnabled(joint && present);
    m_commands.at(QStringLiteral("show-in-folder"))->setEnabled(present);
    m_commands.at(QStringLiteral("copy-path"))->setEnabled(!rows.empty());
    m_commands.at(QStringLiteral("check"))->setEnabled(rows.size() == 1 && joint);
    m_commands.at(QStringLiteral("export-pdf"))->setEnabled(joint);
    m_commands.at(QStringLiteral("export-list"))->setEnabled(m_model.rowCount() > 0);
    m_commands.at(QStringLiteral("scan"))->setEnabled(!Scanning());
    m_commands.at(QStringLiteral("forget"))->setEnabled(!Scanning());
    m_commands.at(QStringLiteral("review"))->setEnabled(joint && !m_pReviewLink);
    m_commands.at(QStringLiteral("dossier"))->setEnabled(!m_pDossierLink);
    m_commands.at(QStringLiteral("cancel"))->setEnabled(Scanning() || m_pDossierLink);
}

void CLibraryWindow::OnCurrentChanged() {
    UpdateCommands();
    const std::vector<int> rows = SelectedRowNumbers();
    if (rows.size() != 1) {
        m_pDetailsDelay->stop();
        CutLink(m_pDetailsLink);
        m_pPane->ShowNothing(int(rows.size()));
        return;
    }
    const JointRow& row = m_model.Row(rows[0]);
    // The same joint with the same report: what the pane shows stands.
    if (row.id == m_pPane->JointId() && row.sha256 == m_paneSha)
        return;
    m_paneSha = row.sha256;
    m_pPane->ShowRow(row);
    m_paneHistory.clear();
    ShowReview(row, nullptr);
    CutLink(m_pDetailsLink);
    if (row.id > 0 && !PresentCopy(row).isEmpty())
        m_pDetailsDelay->start();
}

void CLibraryWindow::ReadDetails() {
    const std::vector<int> rows = SelectedRowNumbers();
    if (rows.size() != 1 || m_model.Row(rows[0]).id <= 0)
        return;
    const JointRow row = m_model.Row(rows[0]);
    CutLink(m_pDetailsLink);
    const qreal ratio = std::max<qreal>(2.0, devicePixelRatioF());
    m_pDetailsLink = RunOnWorker<JointDetails>(
        [row, ratio, settings = CSettingsProcedureSource().Read(),
         db = m_strDatabase](CWorkerLink*) {
            JointDetails details = ReadJointDetails(row, ratio, *CVerdictBook::Load(settings));
            CLibraryStore store(db, 2000);
            if (store.Open(CLibraryStore::Mode::Read) == CLibraryStore::OpenResult::Ok) {
                JointReview key;
                key.machineId = row.fields.machineId;
                key.dateTime = row.fields.dateTime;
                key.jointNumber = row.fields.jointNumber;
                details.reviewHistory =
                    store.ReviewHistory(&key).value_or(std::vector<JointReview>());
            }
            return details;
        },
        [this, row](const JointDetails& d) {
            m_pDetailsLink = nullptr;
            m_pPane->ShowDetails(d);
            if (d.jointId == row.id) {
                m_paneHistory = d.reviewHistory;
                ShowReview(row, &m_paneHistory);
            }
            Q_EMIT DetailsShown();
        });
}

void CLibraryWindow::SetBusy(bool busy) {
    m_pProgress->setVisible(busy);
    m_pCancel->setVisible(busy);
    m_pCancel->setEnabled(busy);
    m_pTimeLeft->setVisible(busy);
    if (!busy) {
        m_pTimeLeft->clear();
        m_pFolder->clear();
    }
    UpdateCommands();
}

void CLibraryWindow::AddProblem(const QString& line) {
    // A problem said again (a folder still offline at the next scan) is
    // not a new line.
    for (int i = m_pProblems->count() - 1; i >= 0 && i >= m_pProblems->count() - 200; --i)
        if (m_pProblems->item(i)->data(Qt::UserRole).toString() == line)
            return;
    const QString text = QTime::currentTime().toString(QStringLiteral("hh:mm")) +
                         QStringLiteral("  ") + SafeLine(line);
    auto* item = new QListWidgetItem(text, m_pProblems);
    item->setData(Qt::UserRole, line);
    // A long session keeps the last thousand lines.
    while (m_pProblems->count() > 1000)
        delete m_pProblems->takeItem(0);
    m_pProblems->scrollToBottom();
    m_pProblemsButton->setText(m_pProblems->count() == 1
                                   ? QStringLiteral("1 problem")
                                   : QStringLiteral("%1 problems").arg(m_pProblems->count()));
    m_pProblemsButton->setToolTip(SafeLine(line));
    m_pProblemsButton->show();
}

void CLibraryWindow::StartScan(const QStringList& confirmed) {
    if (m_pJobLink)
        return;
    m_pScanSoon->stop();
    LibraryJob job = m_pending;
    job.scan = true;
    job.settings = ReadLibraryFolderSettings(); // settings stay on this thread
    job.named = RootMappings();
    job.confirmed << confirmed;
    StartJob(std::move(job));
}

void CLibraryWindow::RunQueuedJob() {
    if (m_pJobLink)
        return;
    if (m_bRescan) {
        m_bRescan = false;
        StartScan();
        return;
    }
    if (m_queuedFiles.isEmpty())
        return;
    LibraryJob job = m_pending;
    job.files = m_queuedFiles;
    m_queuedFiles.clear();
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
    m_pProgress->setValue(0);
    m_pTimeLeft->clear();
    m_jobClock.start();
    const auto hook = m_onWorkerProgress;
    const auto cancel = m_pCancelFlag;
    // What the worker last said, shown at most every 100 ms.
    struct Told {
        QElapsedTimer clock;
        QString folder;
        bool sent = false;
    };
    auto told = std::make_shared<Told>();
    m_pJobLink = RunOnWorker<LibraryJobResult>(
        [this, job, hook, cancel, told](CWorkerLink* link) {
            return RunLibraryJob(
                job, cancel.get(),
                [this, link, hook, told](int done, int total) {
                    if (hook)
                        hook(done, total);
                    if (told->sent && told->clock.elapsed() < kProgressEveryMs && done < total)
                        return;
                    told->sent = true;
                    told->clock.start();
                    const QString folder = told->folder;
                    link->Post([this, done, total, folder]() {
                        m_pFolder->setText(folder);
                        OnProgress(done, total);
                    });
                },
                [link, told, this](const QString& folder) {
                    told->folder = folder;
                    if (!told->sent || told->clock.elapsed() >= kProgressEveryMs)
                        link->Post([this, folder]() { m_pFolder->setText(folder); });
                });
        },
        [this, job](const LibraryJobResult& result) { OnJobDone(result, job); });
    SetBusy(true);
}

void CLibraryWindow::CancelScan() {
    if (!m_pJobLink)
        return;
    // The worker stops at its next file; the window does not wait for it.
    m_pCancelFlag->store(true);
    CutLink(m_pJobLink);
    m_lastScan = ScanSummary();
    m_lastScan.cancelled = true;
    SetBusy(false);
    statusBar()->showMessage(QStringLiteral("Scan cancelled"), 5000);
    Q_EMIT ScanFinished();
}

void CLibraryWindow::OnProgress(int done, int total) {
    m_pProgress->setRange(0, std::max(total, 1));
    m_pProgress->setValue(done);
    // The time left, once there is enough to go by.
    const qint64 elapsed = m_jobClock.elapsed();
    if (done >= 10 && elapsed >= 2000 && total > done)
        m_pTimeLeft->setText(DurationText(elapsed * (total - done) / done / 1000));
    else if (total <= done)
        m_pTimeLeft->clear();
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
    } else if (!job.files.isEmpty()) {
        // Not read this time: read with the next job.
        for (const QString& f : job.files)
            if (!m_queuedFiles.contains(f))
                m_queuedFiles << f;
    }
    // What the job did shows before anything is said or asked about it.
    Reload([this, result, job]() {
        const ScanSummary& summary = result.summary;
        if (result.outcome == LibraryJobResult::Busy) {
            AddProblem(
                QStringLiteral("The library is busy: %1. Its joints show here as that program "
                               "records them.")
                    .arg(result.message));
        } else if (result.outcome == LibraryJobResult::Failed && !result.message.isEmpty()) {
            MessageBox(result.message, kCaption, MB_ICONSTOP);
        } else if (!result.message.isEmpty()) {
            AddProblem(result.message);
        }
        for (const QString& folder : summary.offline)
            AddProblem(
                QStringLiteral("%1: offline (%2)").arg(folder, summary.offlineWhy.value(folder)));
        for (const QString& line : summary.problems)
            AddProblem(line);
        for (const QString& line : summary.unreadable)
            AddProblem(line);
        if (job.scan && result.outcome == LibraryJobResult::Done && !summary.cancelled)
            statusBar()->showMessage(
                QStringLiteral("Scanned: %1 added, %2 changed, %3 unchanged%4")
                    .arg(summary.added.size())
                    .arg(summary.updated.size())
                    .arg(summary.unchanged)
                    .arg(summary.offline.isEmpty()
                             ? QString()
                             : QStringLiteral(", %1 folders offline").arg(summary.offline.size())),
                10000);
        else if (!job.files.isEmpty() && result.outcome == LibraryJobResult::Done)
            statusBar()->showMessage(QStringLiteral("%1 reports read as they arrived")
                                         .arg(summary.added.size() + summary.updated.size()),
                                     5000);
        // Only the user can tell an emptied folder from another card in the
        // reader or a share that is half there.
        QStringList confirmed;
        for (const QString& root : summary.suspect)
            if (MessageBox(
                    QStringLiteral("%1 is empty or lost most of its joints at once, so they are "
                                   "shown as offline: another card may be in the reader, or a "
                                   "share only half there.\n\nWere its reports deleted or "
                                   "moved on purpose? Yes marks them missing.")
                        .arg(SafeLine(root)),
                    kCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES)
                confirmed << root;
        Q_EMIT ScanFinished();
        if (!confirmed.isEmpty())
            StartScan(confirmed);
        else
            RunQueuedJob();
    });
}

std::vector<int> CLibraryWindow::SelectedRowNumbers() const {
    std::vector<int> rows;
    for (const QModelIndex& i : m_pTable->selectionModel()->selectedRows())
        rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<JointRow> CLibraryWindow::SelectedRows() const {
    std::vector<JointRow> rows;
    for (int r : SelectedRowNumbers())
        rows.push_back(m_model.Row(r));
    return rows;
}

QSet<qint64> CLibraryWindow::SelectedJoints() const {
    QSet<qint64> joints;
    for (int r : SelectedRowNumbers())
        joints.insert(m_model.Row(r).id);
    return joints;
}

const JointRow* CLibraryWindow::ChosenRow() const {
    const QModelIndex current = m_pTable->currentIndex();
    if (current.isValid() && m_pTable->selectionModel()->isRowSelected(current.row()))
        return &m_model.Row(current.row());
    const std::vector<int> rows = SelectedRowNumbers();
    return rows.empty() ? nullptr : &m_model.Row(rows[0]);
}

QItemSelection CLibraryWindow::RowsOfJoints(const QSet<qint64>& joints) const {
    QItemSelection rows;
    if (!joints.isEmpty())
        for (int r = 0; r < m_model.rowCount(); ++r)
            if (joints.contains(m_model.Row(r).id))
                rows.select(m_model.index(r, 0), m_model.index(r, JC_COUNT - 1));
    return rows;
}

void CLibraryWindow::ExportList() {
    std::vector<JointRow> rows = SelectedRows();
    // Nothing selected: what is shown.
    if (rows.empty())
        for (int r = 0; r < m_model.rowCount(); ++r)
            rows.push_back(m_model.Row(r));
    if (rows.empty()) {
        MessageBox(QStringLiteral("No joint is shown to export."), kCaption, MB_ICONINFORMATION);
        return;
    }
    const QString path = m_askSavePath(QStringLiteral("Export list"), QStringLiteral("joints.csv"));
    if (path.isEmpty())
        return;
    if (!WriteWholeFile(path, JointsCsv(rows, {false, true})))
        MessageBox(QStringLiteral("The list could not be written to %1.").arg(path), kCaption,
                   MB_ICONSTOP);
    else
        statusBar()->showMessage(
            QStringLiteral("%1 joints written to %2").arg(rows.size()).arg(path), 5000);
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
    statusBar()->showMessage(QStringLiteral("Writing %1 PDFs...").arg(rows.size()));
    // The procedure files are read with the reports, on the worker.
    m_pExportLink = RunOnWorker<PdfExport>(
        [rows, folder, settings = CSettingsProcedureSource().Read()](CWorkerLink*) {
            return ExportJointPdfs(rows, folder, *CVerdictBook::Load(settings));
        },
        [this](const PdfExport& done) {
            m_pExportLink = nullptr;
            for (const QString& line : done.failures)
                AddProblem(line);
            statusBar()->showMessage(
                QStringLiteral("%1 PDFs written%2")
                    .arg(done.written.size())
                    .arg(done.failures.isEmpty()
                             ? QString()
                             : QStringLiteral(", %1 not (see Problems)").arg(done.failures.size())),
                10000);
            if (!done.failures.isEmpty())
                m_pProblemsDock->show();
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
    const JointRow* chosen = ChosenRow();
    if (!chosen || chosen->id <= 0)
        return;
    CutLink(m_pOpenLink);
    statusBar()->showMessage(QStringLiteral("Opening joint %1...").arg(chosen->fields.jointNumber),
                             3000);
    m_pOpenLink =
        RunOnWorker<JointOpening>([row = *chosen](CWorkerLink*) { return OpenJointCopy(row); },
                                  [this](const JointOpening& done) {
                                      m_pOpenLink = nullptr;
                                      if (!done.failure.isEmpty()) {
                                          AddProblem(done.failure);
                                          statusBar()->showMessage(SafeLine(done.failure), 10000);
                                      } else if (!done.handedOver) {
                                          m_startViewer(done.program, done.path);
                                      }
                                      Q_EMIT OpenFinished();
                                  });
}

void CLibraryWindow::ShowSelectedInFolder() {
    const JointRow* chosen = ChosenRow();
    if (!chosen)
        return;
    // Where the index last saw it present: the folder is opened by the file
    // manager, never looked at here.
    const QByteArray path = PresentCopy(*chosen);
    if (path.isEmpty()) {
        statusBar()->showMessage(QStringLiteral("No copy of this joint is present now"), 5000);
        return;
    }
    m_showInFolder(QFile::decodeName(path));
}

void CLibraryWindow::CopySelectedPaths() {
    QStringList paths;
    for (const JointRow& r : SelectedRows()) {
        const QByteArray present = PresentCopy(r);
        paths << (present.isEmpty() ? r.files.value(0) : QFile::decodeName(present));
    }
    if (paths.isEmpty())
        return;
    QGuiApplication::clipboard()->setText(paths.join(QLatin1Char('\n')));
    statusBar()->showMessage(paths.size() == 1
                                 ? QStringLiteral("Path copied")
                                 : QStringLiteral("%1 paths copied").arg(paths.size()),
                             3000);
}

void CLibraryWindow::UpdateWatch() {
    // An office's desks read: its indexer is the one that scans.
    QStringList folders;
    for (const LibraryRoot& r : m_bServer ? std::vector<LibraryRoot>() : KnownRoots())
        if (r.known && r.reachable && !r.pathText.isEmpty() && !folders.contains(r.pathText))
            folders << r.pathText;
    m_pWatch->SetFolders(folders, m_bServer ? QStringList() : StorageCardRoots());
    m_pTimedRescan->setInterval(LibraryRescanMinutes() * 60000);
}

bool CLibraryWindow::ScanScheduled() const {
    return m_pScanSoon->isActive();
}

void CLibraryWindow::ScanSoon(const QString& why, int ms) {
    statusBar()->showMessage(SafeLine(why) + QStringLiteral(": scanning shortly"), 5000);
    if (!m_pScanSoon->isActive() || m_pScanSoon->remainingTime() > ms)
        m_pScanSoon->start(ms);
}

void CLibraryWindow::ShowFolders() {
    CLibraryFoldersDlg dialog(KnownRoots(), this);
    dialog.m_joints = m_rootJoints;
    dialog.m_askFolder = m_askFolder;
    dialog.m_bOffice = m_bServer;
    dialog.m_nRescanMinutes = LibraryRescanMinutes();
    if (RunModal(dialog) != IDOK)
        return;
    SetLibraryRescanMinutes(dialog.m_nRescanMinutes);
    m_pTimedRescan->setInterval(LibraryRescanMinutes() * 60000);
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

void CLibraryWindow::dragEnterEvent(QDragEnterEvent* event) {
    // Files and folders from elsewhere; rows dragged out of this table and
    // back are no new reports.
    if (event->source() || !event->mimeData()->hasUrls())
        return;
    for (const QUrl& url : event->mimeData()->urls())
        if (!url.isLocalFile())
            return;
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void CLibraryWindow::dropEvent(QDropEvent* event) {
    if (event->source() || !event->mimeData()->hasUrls())
        return;
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    // Copied, never moved: the source keeps its files.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    TakeDropped(paths);
}

void CLibraryWindow::TakeDropped(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    // Which folders are the library's: the settings here, the index's roots
    // and the cards on the worker (looking for a card lists media folders).
    const LibraryFolderSettings settings = ReadLibraryFolderSettings();
    QStringList known;
    for (const LibraryRoot& r : KnownRoots())
        if (r.known && !r.pathText.isEmpty())
            known << r.pathText;
    const QString importFolder = LibraryImportFolder(m_strDatabase);
    CutLink(m_pDropLink);
    m_pDropLink = RunOnWorker<DropPlacing>(
        [paths, settings, known, importFolder](CWorkerLink*) {
            return PlaceDropped(paths, known + LibraryRoots(settings), importFolder);
        },
        [this, importFolder](const DropPlacing& placing) {
            m_pDropLink = nullptr;
            for (const QString& line : placing.problems)
                AddProblem(line);
            const QStringList before = AddedLibraryFolders();
            for (const QString& f : placing.folders)
                AddLibraryFolder(f);
            if (placing.imported)
                AddLibraryFolder(importFolder);
            // A new folder needs a scan (it is a root from then on); reports
            // in folders the library has are only read.
            if (AddedLibraryFolders() != before) {
                m_bRescan = true;
            } else {
                for (const QString& f : placing.reports)
                    if (!m_queuedFiles.contains(f))
                        m_queuedFiles << f;
            }
            RunQueuedJob();
            Q_EMIT DropTaken();
        });
}

void CLibraryWindow::ShowReview(const JointRow& row, const std::vector<JointReview>* history) {
    auto* body = qobject_cast<QLabel*>(m_pPane->Section(QStringLiteral("review")));
    if (!body)
        return;
    QStringList lines;
    const JointReview& r = row.Review();
    lines << (r.state.isEmpty() ? QStringLiteral("Not reviewed.")
                                : SafeLine(QStringLiteral("%1 by %2, %3.")
                                               .arg(RowReviewText(row), ReviewerText(r),
                                                    LibraryTimeText(r.timeMs))));
    if (history && !history->empty()) {
        lines << QString() << QStringLiteral("History:");
        for (const JointReview& change : *history)
            lines << CLibraryReviewDlg::HistoryLine(change);
    }
    body->setText(lines.join(QLatin1Char('\n')));
}

void CLibraryWindow::OnCancel() {
    if (m_pDossierLink)
        CancelDossier();
    else
        CancelScan();
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

namespace {
struct ReviewsRecorded {
    QStringList refused; // one line a joint whose review another desk changed first
    QString failure;
};
} // namespace

void CLibraryWindow::ReviewSelected() {
    std::vector<JointRow> rows = SelectedRows();
    std::erase_if(rows, [](const JointRow& r) { return r.id <= 0; });
    if (rows.empty()) {
        MessageBox(QStringLiteral("Select the joints to review first."), kCaption,
                   MB_ICONINFORMATION);
        return;
    }
    if (m_pReviewLink)
        return;
    // The history the pane has read of the one joint selected.
    const bool paneJoint = rows.size() == 1 && rows[0].id == m_pPane->JointId();
    CLibraryReviewDlg dialog(rows, paneJoint ? m_paneHistory : std::vector<JointReview>(), this);
    dialog.m_reviewer = m_strReviewer;
    if (RunModal(dialog) != IDOK)
        return;
    m_strReviewer = dialog.m_reviewer;
    // Each change is made on the review the window showed; a desk that
    // changed it meanwhile wins, and this one is told.
    std::vector<JointReview> changes;
    for (const JointRow& row : rows) {
        JointReview change = row.Review();
        change.machineId = row.fields.machineId;
        change.dateTime = row.fields.dateTime;
        change.jointNumber = row.fields.jointNumber;
        change.from = row.Review().state;
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
            // The pane reads the history again with the rows.
            m_paneSha.clear();
            Reload([this, done]() {
                if (!done.failure.isEmpty())
                    MessageBox(done.failure, kCaption, MB_ICONSTOP);
                if (!done.refused.isEmpty())
                    MessageBox(QStringLiteral("The review of these joints was changed meanwhile, "
                                              "from another desk; their review was not recorded. "
                                              "Look at them again:\n") +
                                   SafeLine(done.refused.join(QLatin1Char('\n'))),
                               kCaption, MB_ICONEXCLAMATION);
                UpdateCommands();
                Q_EMIT ReviewFinished();
            });
        });
    UpdateCommands();
}

void CLibraryWindow::WriteDossier() {
    if (m_pDossierLink)
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
        for (const JointRow& row : m_model.AllRows()) {
            if (row.id > 0 && !job.trimmed().isEmpty() && SameJob(row.fields.job, job)) {
                ++joints;
                dates << row.fields.dateTime.left(10);
            }
        }
        std::sort(dates.begin(), dates.end());
        return joints == 0 ? QStringLiteral("No joint of this job is shown in the library.")
                           : QStringLiteral("%1 joints of this job, dated %2 to %3.")
                                 .arg(joints)
                                 .arg(dates.front(), dates.back());
    };
    if (RunModal(dialog) != IDOK)
        return;
    const DossierRequest request{dialog.m_job, dialog.m_since, dialog.m_until};
    const DossierFiles files{dialog.m_file, QString(), QString()};
    m_pDossierCancel = std::make_shared<std::atomic<bool>>(false);
    m_pProgress->setRange(0, 0);
    m_jobClock.start();
    SetBusy(true);
    const auto hook = m_onWorkerProgress;
    const auto cancel = m_pDossierCancel;
    const bool letter = dialog.m_letter, force = dialog.m_force;
    // The index, the reviews, the procedure files and every report are
    // read on the worker, as the command line reads them.
    m_pDossierLink = RunOnWorker<QString>(
        [this, db = m_strDatabase, request, files, letter, force, hook, cancel,
         settings = CSettingsProcedureSource().Read()](CWorkerLink* link) -> QString {
            CLibraryStore store(db, 5000);
            if (store.Open(CLibraryStore::Mode::Read) != CLibraryStore::OpenResult::Ok)
                return store.Message();
            auto rows = store.Joints();
            const auto history = rows ? store.ReviewHistory() : std::nullopt;
            if (!rows || !history)
                return store.Message();
            const qint64 now = store.Now();
            const std::shared_ptr<const CVerdictBook> book = CVerdictBook::Load(settings);
            MarkVerdicts(*rows, *book);
            DossierJob job;
            QString error;
            if (!FillDossierJob(*rows, *history, *book, request, now, job, error))
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
            if (error.isEmpty())
                statusBar()->showMessage(QStringLiteral("Wrote %1").arg(files.pdf), 10000);
            else if (error != QLatin1String("cancelled"))
                MessageBox(QStringLiteral("The dossier was not written: %1").arg(SafeLine(error)),
                           kCaption, MB_ICONEXCLAMATION);
            Q_EMIT DossierFinished();
        });
    UpdateCommands();
}

void CLibraryWindow::CancelDossier() {
    if (!m_pDossierLink)
        return;
    // The worker stops at its next joint or page and removes what it began;
    // the window does not wait for it.
    m_pDossierCancel->store(true);
    CutLink(m_pDossierLink);
    m_lastDossier = QStringLiteral("cancelled");
    SetBusy(m_pJobLink != nullptr);
    statusBar()->showMessage(QStringLiteral("Dossier cancelled"), 5000);
    Q_EMIT DossierFinished();
}
