#include "framework/Modal.h"

#include "framework/Dialog.h"

namespace {
ScriptedRunner* g_runner = nullptr;
}

ScriptedRunner::ScriptedRunner() : m_previous(g_runner) {
    g_runner = this;
}

ScriptedRunner::~ScriptedRunner() {
    g_runner = m_previous;
}

int ScriptedRunner::TemplateOf(const CDialog& dialog) {
    return dialog.TemplateId();
}

int ScriptedRunner::Drive(CDialog& dialog) {
    m_run.push_back(dialog.TemplateId());
    if (m_handlers.empty()) {
        m_failures.push_back(QStringLiteral("no handler for dialog %1").arg(dialog.TemplateId()));
        dialog.EndDialog(2);
        return dialog.Result();
    }
    Handler handler = std::move(m_handlers.front());
    m_handlers.pop_front();
    handler(dialog);
    if (!dialog.IsEnded()) {
        m_failures.push_back(QStringLiteral("dialog %1 left open").arg(dialog.TemplateId()));
        dialog.EndDialog(2);
    }
    return dialog.Result();
}

int RunModal(CDialog& dialog) {
    dialog.Create();
    if (dialog.IsEnded()) // ended while initialising
        return dialog.Result();
    if (g_runner)
        return g_runner->Drive(dialog);
    // Place the dialog where its template puts it on the handheld's screen,
    // which is the main window's client area, for dialogs opened from other
    // dialogs as much as for those opened from the main window.
    if (QWidget* top = dialog.parentWidget()) {
        while (top->window()->parentWidget())
            top = top->window()->parentWidget();
        dialog.move(top->window()->geometry().topLeft() + dialog.TemplateRect().topLeft());
    }
    dialog.exec();
    return dialog.Result();
}
