#include "platform/FileDialog.h"

#include "platform/MessageBox.h"

#include <QApplication>
#include <QFileDialog>
#include <QStringList>

namespace {
ScriptedFileDialog* g_scripted = nullptr;

// "Kelvorn Joint Report (*.kjr)|*.kjr||" becomes "Kelvorn Joint Report (*.kjr)".
QString QtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList names;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        QString name = parts[i];
        if (!name.contains(QLatin1Char('(')))
            name += QStringLiteral(" (") +
                    QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) +
                    QLatin1Char(')');
        names << name;
    }
    return names.join(QStringLiteral(";;"));
}
} // namespace

ScriptedFileDialog::ScriptedFileDialog() : m_previous(g_scripted) {
    g_scripted = this;
}

ScriptedFileDialog::~ScriptedFileDialog() {
    g_scripted = m_previous;
}

QString ScriptedFileDialog::Take(const QString& filter, const QString& folder) {
    m_requests.push_back({filter, folder});
    if (m_answers.empty())
        return QString();
    QString path = m_answers.front();
    m_answers.pop_front();
    return path;
}

QString PromptOpenFile(const QString& filter, const QString& folder) {
    if (g_scripted)
        return g_scripted->Take(filter, folder);
    return QFileDialog::getOpenFileName(OwnerWindow(), QString(), folder, QtFilter(filter));
}

QString PromptSaveFile(const QString& filter, const QString& path) {
    if (g_scripted)
        return g_scripted->Take(filter, path);
    return QFileDialog::getSaveFileName(OwnerWindow(), QString(), path, QtFilter(filter));
}
