#include "library/Csv.h"

#include <QRegularExpression>

namespace {
bool PlainNumberOrDashes(const QString& cell) {
    static const QRegularExpression plain(
        QStringLiteral("^(?:[+-]?(?:[0-9]+(?:\\.[0-9]*)?|\\.[0-9]+)(?:[eE][+-]?[0-9]+)?|-+)$"));
    return plain.match(cell).hasMatch();
}

QString Quoted(const QString& cell) {
    if (!cell.contains(QLatin1Char(',')) && !cell.contains(QLatin1Char('"')) &&
        !cell.contains(QLatin1Char('\n')) && !cell.contains(QLatin1Char('\r')))
        return cell;
    QString quoted = cell;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
} // namespace

QString InertCsvCell(const QString& cell) {
    if (cell.isEmpty())
        return cell;
    const QChar first = cell[0];
    const bool risky = first == QLatin1Char('=') || first == QLatin1Char('+') ||
                       first == QLatin1Char('-') || first == QLatin1Char('@') ||
                       first == QLatin1Char('\t') || first == QLatin1Char('\r');
    return risky && !PlainNumberOrDashes(cell) ? QLatin1Char('\'') + cell : cell;
}

QByteArray CsvText(const std::vector<QStringList>& rows, const CsvOptions& options) {
    QString text;
    for (const QStringList& row : rows) {
        QStringList cells;
        for (const QString& cell : row)
            cells << Quoted(options.raw ? cell : InertCsvCell(cell));
        text += cells.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    QByteArray bytes = text.toUtf8();
    if (options.file)
        bytes.prepend("\xEF\xBB\xBF");
    return bytes;
}
