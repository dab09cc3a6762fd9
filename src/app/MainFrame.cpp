#include "app/MainFrame.h"

#include "app/Commands.h"
#include "framework/Globals.h"
#include "framework/Resources.h"

#include "app/ToolbarIcons.h"
#include "app/VtkApp.h"
#include "diagnostics/SettingsDlg.h"
#include "framework/Modal.h"
#include "framework/SettingsStore.h"
#include "framework/Strings.h"
#include "platform/MessageBox.h"
#include "report/VtkDoc.h"
#include "report/VtkView.h"
#include "session/LogStatusEntry.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QToolBar>

namespace {
// Menu 128: a popup is a title followed by its items; a separator has id 0.
struct MenuItem {
    const char* text;
    int id;
};

const std::vector<MenuItem> kMainMenu = {
    {"&Log/Status...", ID_LOG_STATUS},
    {nullptr, 0},
    {"&Open...", ID_FILE_OPEN_REPORT},
    {"&Print...", ID_FILE_PRINT_REPORT},
    {"Append &Notes...", ID_APPEND_NOTES},
    {nullptr, 0},
    {"Search &Range...", ID_SEARCH_RANGE},
    {nullptr, 0},
    {"&Settings...", ID_SETTINGS},
    {nullptr, 0},
    {"&About Kelvorn VTQ...", ID_APP_ABOUT},
    {nullptr, 0},
    {"E&xit", ID_APP_EXIT},
};
const std::vector<MenuItem> kEditMenu = {{"Undo", ID_EDIT_UNDO},
                                         {nullptr, 0},
                                         {"Cut", ID_EDIT_CUT},
                                         {"Copy", ID_EDIT_COPY},
                                         {"Paste", ID_EDIT_PASTE}};
const std::vector<MenuItem> kToolsMenu = {
    {"Save As...", ID_FILE_SAVE_AS}, {nullptr, 0}, {"Test", ID_TOOLS_TEST}};

// Toolbar 128, and the text each button shows as its tooltip.
struct ToolButton {
    int id;
    int tooltip; // string id, or 0 for the text below
    const char* text;
};
const std::vector<ToolButton> kToolbar = {
    {ID_LOG_STATUS, IDS_TIP_LOG_STATUS, nullptr},
    {ID_FILE_OPEN_REPORT, IDS_TIP_OPEN, nullptr},
    {ID_FILE_PRINT_REPORT, IDS_TIP_PRINT, nullptr},
    {ID_APPEND_NOTES, 0, "Append Notes..."},
    {ID_APP_ABOUT, IDS_ABOUT, nullptr},
};

// Commands that nothing handles are shown disabled, as the framework shows them.
bool HasHandler(int id) {
    switch (id) {
    case ID_EDIT_UNDO:
    case ID_EDIT_CUT:
    case ID_EDIT_COPY:
    case ID_EDIT_PASTE:
    case ID_TOOLS_TEST:
        return false;
    default:
        return true;
    }
}
} // namespace

CMainFrame::CMainFrame(CVtkApp& app, CVtkDoc& doc) : m_app(app), m_doc(doc) {
    setWindowTitle(AppName());
    setWindowIcon(LoadIconResource(128));
}

const std::vector<CMainFrame::Accelerator>& CMainFrame::Accelerators() {
    static const std::vector<Accelerator> table = {
        {QKeySequence(Qt::CTRL | Qt::Key_N), ID_FILE_NEW},
        {QKeySequence(Qt::CTRL | Qt::Key_O), ID_FILE_OPEN},
        {QKeySequence(Qt::CTRL | Qt::Key_S), ID_FILE_SAVE},
        {QKeySequence(Qt::CTRL | Qt::Key_Q), ID_APP_EXIT},
        {QKeySequence(Qt::CTRL | Qt::Key_Z), ID_EDIT_UNDO},
        {QKeySequence(Qt::CTRL | Qt::Key_X), ID_EDIT_CUT},
        {QKeySequence(Qt::CTRL | Qt::Key_C), ID_EDIT_COPY},
        {QKeySequence(Qt::CTRL | Qt::Key_V), ID_EDIT_PASTE},
    };
    return table;
}

QAction* CMainFrame::AddCommand(QWidget* owner, const QString& text, int id) {
    auto* action = new QAction(text, this);
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    owner->addAction(action);
    m_actions.emplace(id, action);
    return action;
}

bool CMainFrame::OnCreate() {
    m_view = new CVtkView(m_doc, this);
    setCentralWidget(m_view);
    m_doc.SetUpdateViews([this] { OnReportChanged(); });
    m_doc.SetWindow(this);

    // The command bar sits at the foot of the window as on the handheld:
    // the menu first, then the toolbar's buttons.
    m_bar = new QToolBar(QStringLiteral("Command bar"), this);
    m_bar->setMovable(false);
    m_bar->setFloatable(false);
    m_bar->setIconSize(QSize(16, 16));
    m_bar->toggleViewAction()->setVisible(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    addToolBar(Qt::BottomToolBarArea, m_bar);

    m_menu = new QMenuBar(m_bar);
    m_menu->setNativeMenuBar(false);
    // Tight, as the handheld's command bar, so that the menu and the five
    // buttons share the 240-pixel width.
    m_menu->setStyleSheet(QStringLiteral("QMenuBar::item { padding: 2px 3px; }"));
    m_bar->setStyleSheet(QStringLiteral(
        "QToolBar { spacing: 0px; padding: 0px; } QToolButton { padding: 1px; margin: 0px; }"));
    auto addPopup = [this](const QString& title, const std::vector<MenuItem>& items) {
        QMenu* popup = m_menu->addMenu(title);
        connect(popup, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
        for (const MenuItem& item : items) {
            if (item.id == 0)
                popup->addSeparator();
            else
                AddCommand(popup, QString::fromUtf8(item.text), item.id);
        }
    };
    addPopup(QStringLiteral("Menu"), kMainMenu);
    AddCommand(m_menu, QStringLiteral("File"), ID_FILE_MENU);
    addPopup(QStringLiteral("Edit"), kEditMenu);
    addPopup(QStringLiteral("Tools"), kToolsMenu);
    m_menu->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_bar->addWidget(m_menu);

    for (const ToolButton& button : kToolbar) {
        const QString tip =
            button.tooltip ? LoadString(button.tooltip) : QString::fromUtf8(button.text);
        QAction* action = AddCommand(m_bar, tip, button.id);
        action->setIcon(ToolbarIcon(button.id));
        action->setToolTip(tip);
        action->setStatusTip(tip); // fly-by help
        if (QWidget* widget = m_bar->widgetForAction(action))
            widget->setFixedSize(19, 19);
    }
    for (const Accelerator& accelerator : Accelerators()) {
        auto* action = new QAction(this);
        action->setShortcut(accelerator.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        const int id = accelerator.command;
        connect(action, &QAction::triggered, this, [this, id] {
            UpdateCommandUI();
            if (IsCommandEnabled(id))
                OnCommand(id);
        });
        addAction(action);
    }
    UpdateCommandUI();
    return true;
}

void CMainFrame::UpdateCommandUI() {
    for (auto& [id, action] : m_actions) {
        bool enabled = HasHandler(id);
        if (id == ID_FILE_PRINT_REPORT)
            enabled = CVtkView::CanPrint();
        else if (id == ID_APPEND_NOTES)
            enabled = CVtkDoc::CanAppendNotes();
        else if (id == ID_SEARCH_RANGE)
            enabled = CVtkView::CanSearchRange();
        action->setEnabled(enabled);
    }
}

bool CMainFrame::IsCommandEnabled(int id) {
    UpdateCommandUI();
    const auto it = m_actions.find(id);
    return it != m_actions.end() ? it->second->isEnabled() : HasHandler(id);
}

QAction* CMainFrame::MenuAction(int id) const {
    // The menus are built before the toolbar, so a command's first action is
    // its menu item.
    const auto it = m_actions.lower_bound(id);
    return it == m_actions.end() || it->first != id ? nullptr : it->second;
}

void CMainFrame::OnCommand(int id) {
    switch (id) {
    case ID_LOG_STATUS:
        OnLogStatus();
        break;
    case ID_SETTINGS:
        OnSettings();
        break;
    case ID_APP_ABOUT:
        m_app.OnAppAbout();
        break;
    case ID_APP_EXIT:
        close();
        break;
    case ID_FILE_NEW:
        m_doc.OnNewDocument();
        break;
    case ID_FILE_OPEN:
        CVtkApp::OnFileOpen(m_doc);
        break;
    case ID_FILE_SAVE_AS:
        m_doc.OnFileSaveAs();
        break;
    case ID_FILE_OPEN_REPORT:
        m_doc.OnFileOpen();
        break;
    case ID_APPEND_NOTES:
        if (CVtkDoc::CanAppendNotes())
            m_doc.OnAppendNotes();
        break;
    case ID_SEARCH_RANGE:
        if (CVtkView::CanSearchRange())
            m_view->OnSearchRange();
        break;
    case ID_FILE_PRINT_REPORT:
        if (CVtkView::CanPrint())
            m_view->OnFilePrint();
        break;
    default:
        // Save has nothing to write, since a report is on disk as soon as it
        // is shown.
        break;
    }
}

void CMainFrame::OnLogStatus() {
    if (ReadSettingInt(kKeySettings, QStringLiteral("COM Port"), -1) == -1) {
        // No port was ever chosen: the operator picks one first.
        OnSettings();
        return;
    }
    g_strReportPath.clear();
    g_strMachineModel =
        ReadSettingText(kKeyLogData, QStringLiteral("Machine Model Text"), QString());
    PostLogStatus();
}

void CMainFrame::PostLogStatus() {
    m_bSession = true;
    QTimer::singleShot(0, this, [this] { OnLogStatusMessage(); });
}

void CMainFrame::OnLogStatusMessage() {
    m_bSession = true;
    RunLogStatusWindow(this);
    m_bSession = false;
    OnReportChanged();
}

bool CMainFrame::IsIdle() const {
    return !m_bSession && !QApplication::activeModalWidget() && !QApplication::activePopupWidget();
}

void CMainFrame::OnReportChanged() {
    m_view->OnUpdate();
    // The toolbar's report buttons follow the shown report at once, not only
    // when a menu next opens.
    UpdateCommandUI();
}

void CMainFrame::OnSettings() {
    CSettingsDlg dialog(this);
    RunModal(dialog);
}
