#pragma once
// Sort keys for the texts the library shows in columns: case folded, and
// every run of digits made to compare as the number it is ("Job 9" before
// "Job 10"). Computed here and stored with the row, so that every store
// orders alike by comparing the keys' bytes, with no collation of its own.

#include <QByteArray>
#include <QString>

QString TextSortKey(const QString& text);

// Keys compare by their UTF-8 bytes, as the stores compare them.
inline QByteArray SortKeyBytes(const QString& key) {
    return key.toUtf8();
}
