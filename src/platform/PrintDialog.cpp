#include "platform/PrintDialog.h"

#include "platform/MessageBox.h"

#include <QPrintDialog>
#include <QPrinter>

namespace {
ScriptedPrintDialog* g_scripted = nullptr;
}

ScriptedPrintDialog::ScriptedPrintDialog() : m_previous(g_scripted) {
    g_scripted = this;
}

ScriptedPrintDialog::~ScriptedPrintDialog() {
    g_scripted = m_previous;
}

bool ScriptedPrintDialog::Take(QPrinter& printer) {
    ++m_nShown;
    if (m_answers.empty())
        return false;
    const QString path = m_answers.front();
    m_answers.pop_front();
    if (path.isEmpty())
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    return true;
}

bool PromptPrinter(QPrinter& printer) {
    if (g_scripted)
        return g_scripted->Take(printer);
    QPrintDialog dialog(&printer, OwnerWindow());
    return dialog.exec() == QDialog::Accepted;
}
