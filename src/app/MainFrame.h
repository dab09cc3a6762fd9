#pragma once
// The main window: the report view, and the command bar with menu 128,
// toolbar 128 and accelerators 128.

#include <QKeySequence>
#include <QMainWindow>
#include <map>
#include <vector>

class CVtkApp;
class CVtkDoc;
class CVtkView;
class QAction;
class QMenuBar;
class QToolBar;

class CMainFrame : public QMainWindow {
public:
    CMainFrame(CVtkApp& app, CVtkDoc& doc);

    // Builds the command bar; false when any part of it fails.
    bool OnCreate();

    // Every menu, toolbar and accelerator command arrives here and is routed
    // to the frame, the view, the document or the application.
    void OnCommand(int id);
    // Brings the enabled state of every command up to date, as the framework
    // does before a menu opens.
    void UpdateCommandUI();
    bool IsCommandEnabled(int id);

    // The menu item of a command (the first, where a command has several).
    QAction* MenuAction(int id) const;
    QMenuBar* CommandBarMenu() const { return m_menu; }
    QToolBar* CommandBar() const { return m_bar; }
    CVtkView* View() const { return m_view; }

    // Command handlers of the frame.
    void OnLogStatus();
    void OnSettings();
    // WM_LOGSTATUS: runs the Log/Status window. Posted, not called, so that
    // the menu has closed before the window opens.
    virtual void OnLogStatusMessage();
    void PostLogStatus();
    // The shown report changed: redraw and bring the commands up to date.
    void OnReportChanged();
    // Nothing but the report is open: no Log/Status session (asked for or
    // running), no dialog, box or menu.
    bool IsIdle() const;

    struct Accelerator {
        QKeySequence keys;
        int command;
    };
    static const std::vector<Accelerator>& Accelerators();

private:
    QAction* AddCommand(QWidget* owner, const QString& text, int id);

    CVtkApp& m_app;
    CVtkDoc& m_doc;
    CVtkView* m_view = nullptr;
    QMenuBar* m_menu = nullptr;
    QToolBar* m_bar = nullptr;
    std::multimap<int, QAction*> m_actions;
    bool m_bSession = false; // a Log/Status session is asked for or runs
};
