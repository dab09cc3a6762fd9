#pragma once
// Texts that repeat from joint to joint (jobs, machines, procedures, their
// sort keys, why a verdict is not current) kept once: a large library's
// table then holds one of each, shared by every row that has it.

#include <QSet>
#include <QString>
#include <QVariant>

class CTextPool {
public:
    QString operator()(const QString& text) {
        if (text.isEmpty())
            return QString();
        if (const auto kept = m_texts.constFind(text); kept != m_texts.cend())
            return *kept;
        m_texts.insert(text);
        return text;
    }
    QString operator()(const QVariant& value) { return (*this)(value.toString()); }

private:
    QSet<QString> m_texts;
};
