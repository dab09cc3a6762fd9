#include "report/DownloadName.h"

#include <QRegularExpression>

QString NumberedReportName(const QString& base, int number) {
    return number < 2 ? base + QStringLiteral(".kjr")
                      : QStringLiteral("%1 (%2).kjr").arg(base).arg(number);
}

bool IsCutDownloadName(const QString& path) {
    static const QRegularExpression marker(
        QStringLiteral(R"( \((incomplete|recovered)\)( \([0-9]+\))?\.kjr$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    return marker.match(name).hasMatch();
}
