#include "library/LibraryLayout.h"

#include <QHeaderView>
#include <QStringList>
#include <algorithm>

QString ColumnLayoutText(const std::vector<ColumnLayout>& columns) {
    QStringList parts;
    for (const ColumnLayout& c : columns)
        parts << QStringLiteral("%1 %2 %3 %4")
                     .arg(c.key)
                     .arg(c.position)
                     .arg(c.width)
                     .arg(c.shown ? 1 : 0);
    return parts.join(QLatin1Char(';'));
}

std::vector<ColumnLayout> ParseColumnLayout(const QString& text) {
    std::vector<ColumnLayout> columns;
    for (const QString& part : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList f = part.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        bool okPosition = false, okWidth = false, okShown = false;
        ColumnLayout c;
        if (f.size() != 4)
            continue;
        c.key = f[0];
        c.position = f[1].toInt(&okPosition);
        c.width = f[2].toInt(&okWidth);
        const int shown = f[3].toInt(&okShown);
        if (!okPosition || !okWidth || !okShown || c.position < 0 || c.width < 0 ||
            c.width > 10000 || (shown != 0 && shown != 1))
            continue;
        c.shown = shown == 1;
        if (std::none_of(columns.begin(), columns.end(),
                         [&](const ColumnLayout& o) { return o.key == c.key; }))
            columns.push_back(c);
    }
    return columns;
}

std::vector<ColumnLayout> HeaderLayout(const QHeaderView& header, const QStringList& keys) {
    std::vector<ColumnLayout> columns;
    for (int logical = 0; logical < header.count() && logical < keys.size(); ++logical)
        columns.push_back({keys[logical], header.visualIndex(logical), header.sectionSize(logical),
                           !header.isSectionHidden(logical)});
    return columns;
}

void ApplyHeaderLayout(QHeaderView& header, const QStringList& keys,
                       const std::vector<ColumnLayout>& columns) {
    std::vector<ColumnLayout> known;
    for (const ColumnLayout& c : columns)
        if (keys.contains(c.key))
            known.push_back(c);
    std::sort(known.begin(), known.end(),
              [](const ColumnLayout& a, const ColumnLayout& b) { return a.position < b.position; });
    // The named columns first, in their order; the others after them.
    int visual = 0;
    for (const ColumnLayout& c : known) {
        const int logical = int(keys.indexOf(c.key));
        header.moveSection(header.visualIndex(logical), visual++);
        if (c.width > 0)
            header.resizeSection(logical, c.width);
        header.setSectionHidden(logical, !c.shown);
    }
    // Never every column hidden: a table without columns cannot be mended
    // from its own header.
    bool any = false;
    for (int logical = 0; logical < header.count(); ++logical)
        any = any || !header.isSectionHidden(logical);
    if (!any && header.count() > 0)
        header.setSectionHidden(header.logicalIndex(0), false);
}
