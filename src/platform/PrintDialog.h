#pragma once
// The platform's print dialog: the printers CUPS knows, and printing to a
// PDF file. Sets up `printer` and returns true when the operator confirms.
// Tests queue answers with ScriptedPrintDialog.

#include <QString>
#include <deque>

class QPrinter;

bool PromptPrinter(QPrinter& printer);

class ScriptedPrintDialog {
public:
    ScriptedPrintDialog();
    ~ScriptedPrintDialog();
    ScriptedPrintDialog(const ScriptedPrintDialog&) = delete;
    ScriptedPrintDialog& operator=(const ScriptedPrintDialog&) = delete;

    // The operator chooses printing into this PDF file; an empty path stands
    // for Cancel. With nothing queued the dialog is cancelled.
    void Answer(const QString& pdfPath) { m_answers.push_back(pdfPath); }
    int Shown() const { return m_nShown; }

    bool Take(QPrinter& printer);

private:
    std::deque<QString> m_answers;
    int m_nShown = 0;
    ScriptedPrintDialog* m_previous;
};
