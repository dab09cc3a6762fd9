#pragma once
// vtq-library's command line: scan, list, export-pdf, forget-missing. Needs
// no display. Readers (list, export-pdf, forget-missing --dry-run) open the
// index read-only and never wait for a writer; writers (scan,
// forget-missing --yes) hold the scan lock and wait for it only when told
// (--wait).

#include <QStringList>
#include <cstdio>

// Exit status of every command.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1; // with a message saying why
constexpr int kExitUsage = 2;
constexpr int kExitBusy = 75; // another program holds the library (EX_TEMPFAIL)

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
