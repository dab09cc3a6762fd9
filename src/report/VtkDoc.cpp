#include "report/VtkDoc.h"

#include "framework/Globals.h"
#include "framework/Strings.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

void CVtkDoc::UpdateAllViews() {
    if (m_updateViews)
        m_updateViews();
}

bool CVtkDoc::OnNewDocument() {
    OnCloseDocument();
    return true;
}

bool CVtkDoc::OnOpenDocument(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        MessageBox(
            QStringLiteral("Could not open the report\n%1").arg(QDir::toNativeSeparators(path)),
            QString(), MB_OK | MB_ICONERROR);
        return false;
    }
    g_strReportPath = QFileInfo(path).absoluteFilePath();
    g_bReportChanged = true;
    UpdateAllViews();
    return true;
}

void CVtkDoc::OnCloseDocument() {
    g_strReportPath.clear();
    g_bReportChanged = true;
    UpdateAllViews();
}

void CVtkDoc::OnFileSaveAs() {
    // The document holds nothing the file does not: saving it under another
    // name is a byte-for-byte copy, never a rewrite that could lose the report.
    if (g_strReportPath.isEmpty())
        return;
    const QString target = PromptSaveFile(LoadString(IDS_REPORT_FILTER), g_strReportPath);
    if (target.isEmpty() || QFileInfo(target).absoluteFilePath() == g_strReportPath)
        return;
    QFile source(g_strReportPath);
    QFile copy(target);
    bool ok = source.open(QIODevice::ReadOnly);
    const QByteArray bytes = ok ? source.readAll() : QByteArray();
    ok = ok && source.error() == QFile::NoError &&
         copy.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
         copy.write(bytes) == bytes.size() && copy.flush();
    copy.close();
    if (!ok)
        MessageBox(QStringLiteral("Could not save the report to\n%1")
                       .arg(QDir::toNativeSeparators(target)),
                   QString(), MB_OK | MB_ICONERROR);
}
