#pragma once
// The joint report document: which report the main window shows. The report
// itself is read and drawn by the view from the file that g_strReportPath
// names.

#include <QString>
#include <functional>

class CVtkDoc {
public:
    // Called whenever the shown report changes, so that the views redraw.
    void SetUpdateViews(std::function<void()> update) { m_updateViews = std::move(update); }
    void UpdateAllViews();

    // A new, empty document: no report shown.
    bool OnNewDocument();
    // Opening by path (the command line, or the framework's file open): the
    // report becomes the one shown. Refuses, with a message, a file that
    // cannot be read.
    bool OnOpenDocument(const QString& path);
    // Closing: no report shown.
    void OnCloseDocument();

    // The framework's Save As: a copy of the shown report under a new name.
    void OnFileSaveAs();

private:
    std::function<void()> m_updateViews;
};
