#pragma once
// vtq-library's command line: scan, list, export-pdf, forget-missing. Needs
// no display. Exit status: 0 done, 1 a folder or the library index cannot be
// used, 2 usage.

#include <QStringList>
#include <cstdio>
#include <optional>

// The usage text, as --help prints it.
QString LibraryUsage();

// Whether `arguments` (without the program name) name a command, --help or
// --version rather than the window; the options before it are taken out of
// `arguments`: --database FILE and --root DIR.
struct LibraryOptions {
    QString database;
    QString root;
    QStringList rest;
    QString error;
};
LibraryOptions ParseLibraryOptions(const QStringList& arguments);
bool IsLibraryCommand(const LibraryOptions& options);

// Runs the command; output to `out`, messages to `err`.
int RunLibraryCommand(const LibraryOptions& options, FILE* out, FILE* err);
