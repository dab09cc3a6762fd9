#include "library/SortKey.h"

QString TextSortKey(const QString& text) {
    const QString folded = text.toCaseFolded();
    QString key;
    key.reserve(folded.size() + 8);
    for (qsizetype i = 0; i < folded.size();) {
        // Only ASCII digits: other scripts' digits stay as they are.
        if (folded[i] < QLatin1Char('0') || folded[i] > QLatin1Char('9')) {
            key += folded[i++];
            continue;
        }
        qsizetype end = i;
        while (end < folded.size() && folded[end] >= QLatin1Char('0') &&
               folded[end] <= QLatin1Char('9'))
            ++end;
        qsizetype first = i;
        while (first + 1 < end && folded[first] == QLatin1Char('0'))
            ++first;
        // Two digits of length before the digits: a shorter number sorts
        // first, numbers of one length by their digits. Longer runs than 99
        // digits compare by their first 99.
        const qsizetype length = std::min<qsizetype>(end - first, 99);
        key += QStringLiteral("%1").arg(length, 2, 10, QLatin1Char('0'));
        key += folded.mid(first, length);
        i = end;
    }
    return key;
}
