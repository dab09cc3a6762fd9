#pragma once
// How the library's window was left, kept as text in the settings file
// ([Library Window]) and restored: the window's place and size, the
// splitter, each column by its key (position, width, shown), the sort,
// the filters and the search. Columns are known by key, not by number, so
// that columns added later (a review state, a procedure) take their
// default place and a column that is gone is simply skipped.

#include <QString>
#include <vector>

class QHeaderView;

inline const QString kKeyLibraryWindow = QStringLiteral("Library Window");

struct ColumnLayout {
    QString key;
    int position = 0; // visual position
    int width = 0;
    bool shown = true;
};

// "key position width shown" per column, separated by ";".
QString ColumnLayoutText(const std::vector<ColumnLayout>& columns);
// Whatever can be read of it; unknown or malformed entries are skipped.
std::vector<ColumnLayout> ParseColumnLayout(const QString& text);

// The header's columns, their keys by logical index.
std::vector<ColumnLayout> HeaderLayout(const QHeaderView& header, const QStringList& keys);
// Puts the header's columns where the layout says; columns it does not
// name keep their place after the ones it does.
void ApplyHeaderLayout(QHeaderView& header, const QStringList& keys,
                       const std::vector<ColumnLayout>& columns);
