#pragma once
// The platform's file-open dialog. The filter is in the handheld's form,
// "Name (*.ext)|*.ext||". Returns the chosen path, or empty when cancelled.
// Tests queue answers with ScriptedFileDialog.

#include <QString>
#include <deque>
#include <vector>

QString PromptOpenFile(const QString& filter, const QString& folder);

class ScriptedFileDialog {
public:
    ScriptedFileDialog();
    ~ScriptedFileDialog();
    ScriptedFileDialog(const ScriptedFileDialog&) = delete;
    ScriptedFileDialog& operator=(const ScriptedFileDialog&) = delete;

    // An empty path stands for Cancel; with nothing queued the dialog is cancelled.
    void Answer(const QString& path) { m_answers.push_back(path); }

    struct Request {
        QString filter;
        QString folder;
    };
    const std::vector<Request>& Requests() const { return m_requests; }

    QString Take(const QString& filter, const QString& folder);

private:
    std::deque<QString> m_answers;
    std::vector<Request> m_requests;
    ScriptedFileDialog* m_previous;
};

// The platform's file-save dialog; returns the chosen path, or empty when
// cancelled. Scripted by the same stand-in as PromptOpenFile.
QString PromptSaveFile(const QString& filter, const QString& path);
