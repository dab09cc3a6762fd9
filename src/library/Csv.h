#pragma once
// CSV as the library writes it for the office: every list it exports (the
// window's, `list --format csv`, later ones) comes from here.
//
// A spreadsheet takes a cell that begins with "=", "+", "-", "@", a tab or
// a carriage return for a formula: such a cell (unless it is a plain number
// or only dashes) is written with a "'" before it, as is common practice.
// A file gets a UTF-8 byte-order mark, so that a spreadsheet reads "Müller"
// right on any system; a pipe never does, so that scripts read the bytes
// they expect.

#include <QByteArray>
#include <QStringList>
#include <vector>

struct CsvOptions {
    bool raw = false;  // the cells exactly as they are, for scripts
    bool file = false; // written to a file: starts with a byte-order mark
};

// One line per row, ended by CR LF; cells quoted where needed.
QByteArray CsvText(const std::vector<QStringList>& rows, const CsvOptions& options);

// The cell as CsvText writes it, quotes aside.
QString InertCsvCell(const QString& cell);
