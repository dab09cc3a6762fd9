#include "check/ProcedureRules.h"

#include <QStringList>

QString ProcedureForJob(const std::vector<ProcedureRule>& rules, const QString& job,
                        const QString& defaultPath) {
    for (const ProcedureRule& rule : rules)
        if (job.contains(rule.jobText, Qt::CaseInsensitive))
            return rule.procedurePath;
    return defaultPath;
}

bool ReadProcedureRules(const QString& text, std::vector<ProcedureRule>& rules, QString& error) {
    std::vector<ProcedureRule> read;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype arrow = line.indexOf(QLatin1String("=>"));
        ProcedureRule rule;
        if (arrow >= 0) {
            rule.jobText = line.left(arrow).trimmed();
            rule.procedurePath = line.mid(arrow + 2).trimmed();
        }
        if (rule.jobText.isEmpty() || rule.procedurePath.isEmpty()) {
            error = QStringLiteral("line %1: not \"TEXT => FILE\"").arg(i + 1);
            return false;
        }
        read.push_back(rule);
    }
    rules = std::move(read);
    return true;
}
