#include "library/LibraryCommand.h"

#include "library/JointExport.h"
#include "library/JointTable.h"
#include "library/LibraryFolders.h"
#include "library/LibraryLock.h"
#include "library/LibraryScanner.h"
#include "library/LibraryStore.h"
#include "platform/DeviceRoot.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <memory>

namespace {
void Put(FILE* f, const QString& text) {
    std::fputs(text.toUtf8().constData(), f);
}

int Usage(FILE* err, const QString& error) {
    Put(err, QStringLiteral("vtq-library: %1\n").arg(error) + LibraryUsage());
    return 2;
}

QString Line(const QString& text) {
    return SafeLine(text);
}

// The store, opened under the lock; null, with the reason told, when either
// cannot be had.
struct OpenLibrary {
    std::unique_ptr<CLibraryLock> lock;
    std::unique_ptr<CLibraryStore> store;
};

bool Open(const LibraryOptions& options, OpenLibrary& library, FILE* err) {
    const QString path = options.database.isEmpty() ? DefaultLibraryDatabase() : options.database;
    library.lock = std::make_unique<CLibraryLock>(path);
    if (!library.lock->TryLock()) {
        Put(err, QStringLiteral("vtq-library: the library %1 is busy: another vtq-library is "
                                "using it\n")
                     .arg(path));
        return false;
    }
    library.store = std::make_unique<CLibraryStore>(path, 5000);
    const CLibraryStore::OpenResult result = library.store->Open();
    if (!library.store->Message().isEmpty())
        Put(err, QStringLiteral("vtq-library: %1\n").arg(library.store->Message()));
    return result == CLibraryStore::OpenResult::Ok || result == CLibraryStore::OpenResult::Rebuilt;
}

// Reads the filter options; false with the usage error set.
bool ParseFilter(const QStringList& args, int from, JointFilter& filter, QString& error,
                 QString* format) {
    for (int i = from; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool takes = a == QLatin1String("--job") || a == QLatin1String("--since") ||
                           a == QLatin1String("--until") || a == QLatin1String("--verdict") ||
                           a == QLatin1String("--status") ||
                           (format && a == QLatin1String("--format"));
        if (!takes) {
            error = QStringLiteral("unknown argument %1").arg(a);
            return false;
        }
        if (i + 1 >= args.size()) {
            error = QStringLiteral("%1 needs a value").arg(a);
            return false;
        }
        const QString v = args[++i];
        if (a == QLatin1String("--job")) {
            filter.job = v;
        } else if (a == QLatin1String("--since") || a == QLatin1String("--until")) {
            const QDate d = QDate::fromString(v, Qt::ISODate);
            if (!d.isValid()) {
                error = QStringLiteral("%1 needs a date as YYYY-MM-DD").arg(a);
                return false;
            }
            (a == QLatin1String("--since") ? filter.since : filter.until) = d;
        } else if (a == QLatin1String("--verdict")) {
            if (!QStringList{QStringLiteral("pass"), QStringLiteral("fail"),
                             QStringLiteral("incomplete")}
                     .contains(v)) {
                error = QStringLiteral("--verdict is pass, fail or incomplete");
                return false;
            }
            filter.verdict = v;
        } else if (a == QLatin1String("--status")) {
            if (!QStringList{QStringLiteral("present"), QStringLiteral("missing"),
                             QStringLiteral("offline"), QStringLiteral("unreadable"),
                             QStringLiteral("all")}
                     .contains(v)) {
                error = QStringLiteral("--status is present, missing, offline, unreadable or all");
                return false;
            }
            filter.status = v;
        } else {
            if (!QStringList{QStringLiteral("table"), QStringLiteral("csv"), QStringLiteral("json")}
                     .contains(v)) {
                error = QStringLiteral("--format is table, csv or json");
                return false;
            }
            *format = v;
        }
    }
    return true;
}

int Scan(const LibraryOptions& options, FILE* out, FILE* err) {
    QStringList folders = options.rest.mid(1);
    const bool confirm = folders.removeAll(QStringLiteral("--confirm-missing")) > 0;
    for (const QString& f : folders)
        if (!QFileInfo(f).isDir()) {
            Put(err, QStringLiteral("vtq-library: %1 is not a folder\n").arg(Line(f)));
            return 1;
        }
    OpenLibrary library;
    if (!Open(options, library, err))
        return 1;
    for (const QString& f : folders)
        AddLibraryFolder(f);
    const QStringList roots = LibraryRoots();
    CLibraryScanner scanner(*library.store);
    if (confirm)
        scanner.SetConfirmedRemovals(roots);
    const ScanSummary s = scanner.Scan(roots);
    const auto list = [&](const char* what, const QStringList& paths) {
        for (const QString& p : paths)
            Put(out, QLatin1String(what) + QLatin1Char(' ') + Line(p) + QLatin1Char('\n'));
    };
    list("added", s.added);
    list("updated", s.updated);
    list("back", s.restored);
    list("missing", s.missing);
    list("offline", s.offline);
    list("unreadable", s.unreadable);
    for (const QString& p : s.problems)
        Put(err, QStringLiteral("vtq-library: %1\n").arg(Line(p)));
    for (const QString& p : s.suspect)
        Put(err,
            QStringLiteral("vtq-library: %1 is empty or lost most of its joints at once, so it "
                           "is taken for a card or share that is not connected; if its reports "
                           "were deleted or moved on purpose, scan with --confirm-missing\n")
                .arg(Line(p)));
    Put(out, QStringLiteral("%1 added, %2 updated, %3 missing, %4 offline, %5 unreadable, %6 "
                            "unchanged\n")
                 .arg(s.added.size())
                 .arg(s.updated.size())
                 .arg(s.missing.size())
                 .arg(s.offline.size())
                 .arg(s.unreadable.size())
                 .arg(s.unchanged));
    bool namedAway = false;
    for (const QString& f : folders)
        namedAway = namedAway || s.offline.contains(LibraryRootPath(f));
    return s.storeFailed || namedAway ? 1 : 0;
}

QString Table(const std::vector<JointRow>& rows) {
    const int columns[] = {JC_DATE_TIME,  JC_JOINT,   JC_JOB,    JC_EMPLOYEE,
                           JC_MACHINE_ID, JC_VERDICT, JC_STATUS, JC_FILES};
    std::vector<QStringList> cells(1);
    for (int c : columns)
        cells[0] << JointColumnTitle(c);
    for (const JointRow& r : rows) {
        cells.emplace_back();
        for (int c : columns)
            cells.back() << Line(c == JC_FILES ? r.files.value(0) : JointCellText(r, c));
    }
    std::vector<qsizetype> width(std::size(columns), 0);
    for (const QStringList& line : cells)
        for (size_t c = 0; c < width.size(); ++c)
            width[c] = std::max(width[c], line[qsizetype(c)].size());
    QString text;
    for (const QStringList& line : cells) {
        QString l;
        for (size_t c = 0; c < width.size(); ++c)
            l += c + 1 < width.size() ? line[qsizetype(c)].leftJustified(width[c] + 2)
                                      : line[qsizetype(c)];
        text += l + QLatin1Char('\n');
    }
    return text;
}
} // namespace

QString LibraryUsage() {
    return QStringLiteral(
        "Usage: vtq-library [--database FILE] [--root DIR]\n"
        "       vtq-library [OPTIONS] scan [--confirm-missing] [FOLDER...]\n"
        "       vtq-library [OPTIONS] list [FILTER...] [--format table|csv|json]\n"
        "       vtq-library [OPTIONS] export-pdf DIR [FILTER...]\n"
        "       vtq-library [OPTIONS] forget-missing\n"
        "The library of Kelvorn joint reports: every joint found in the report folders.\n"
        "Without a command it opens its window.\n"
        "  scan            adds the FOLDERs to the library's folders if new, scans every\n"
        "                  folder and prints what it added, updated, marked missing or\n"
        "                  offline, and could not read. A folder that is empty or would\n"
        "                  lose most of its joints at once is taken for offline, unless\n"
        "                  --confirm-missing says its reports were removed on purpose\n"
        "  list            the joints (by default the present ones) as a table, CSV or JSON\n"
        "  export-pdf      the printed page of each joint into DIR, named like its report\n"
        "  forget-missing  removes the joints whose files vanished from a reachable folder\n"
        "Filters:\n"
        "  --job TEXT      job number contains TEXT\n"
        "  --since DATE    joints on or after DATE (YYYY-MM-DD)\n"
        "  --until DATE    joints on or before DATE\n"
        "  --verdict pass|fail|incomplete\n"
        "                  the procedure check's verdict (by the shipped procedure)\n"
        "  --status present|missing|offline|unreadable|all   (default present)\n"
        "Options:\n"
        "  --database FILE\n"
        "                  the library index (default: $VTQ_LIBRARY_DB, else\n"
        "                  ~/.local/share/Kelvorn/Kelvorn Joint Reports/library.sqlite)\n"
        "  --root DIR      the device root whose \"Joint Reports\" is a library folder\n"
        "  --help          show this text\n"
        "  --version       show the program's version\n"
        "Folders: the device root's \"Joint Reports\", the backup folder's \"Joint Reports\"\n"
        "([Storage] Card) and those added ([Library] Folders) in the settings file.\n"
        "Exit status: 0 done, 1 a folder or the library index cannot be used, 2 usage.\n");
}

LibraryOptions ParseLibraryOptions(const QStringList& arguments) {
    LibraryOptions o;
    int i = 0;
    for (; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--database") || a == QLatin1String("--root")) {
            if (i + 1 >= arguments.size()) {
                o.error = QStringLiteral("%1 needs a value").arg(a);
                return o;
            }
            (a == QLatin1String("--database") ? o.database : o.root) = arguments[++i];
        } else {
            break;
        }
    }
    o.rest = arguments.mid(i);
    return o;
}

bool IsLibraryCommand(const LibraryOptions& options) {
    return !options.error.isEmpty() || !options.rest.isEmpty();
}

int RunLibraryCommand(const LibraryOptions& options, FILE* out, FILE* err) {
    if (!options.error.isEmpty())
        return Usage(err, options.error);
    const QStringList& args = options.rest;
    const QString command = args.value(0);
    if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
        Put(out, LibraryUsage());
        return 0;
    }
    if (command == QLatin1String("--version")) {
        Put(out, QStringLiteral("vtq-library %1\n").arg(QStringLiteral(VTQ_VERSION)));
        return 0;
    }
    if (!options.root.isEmpty())
        SetDeviceRoot(options.root);
    if (command == QLatin1String("scan")) {
        for (const QString& a : args.mid(1))
            if (a.startsWith(QLatin1Char('-')) && a != QLatin1String("--confirm-missing"))
                return Usage(err, QStringLiteral("unknown option %1").arg(a));
        return Scan(options, out, err);
    }
    if (command == QLatin1String("forget-missing")) {
        if (args.size() > 1)
            return Usage(err, QStringLiteral("forget-missing takes no arguments"));
        OpenLibrary library;
        if (!Open(options, library, err))
            return 1;
        const int n = library.store->ForgetMissing();
        if (n < 0) {
            Put(err, QStringLiteral("vtq-library: the library index could not be changed\n"));
            return 1;
        }
        Put(out, QStringLiteral("%1 missing files forgotten\n").arg(n));
        return 0;
    }
    if (command == QLatin1String("list") || command == QLatin1String("export-pdf")) {
        const bool list = command == QLatin1String("list");
        if (!list && (args.size() < 2 || args[1].startsWith(QLatin1Char('-'))))
            return Usage(err, QStringLiteral("export-pdf needs a folder"));
        JointFilter filter;
        QString format = QStringLiteral("table");
        QString error;
        if (!ParseFilter(args, list ? 1 : 2, filter, error, list ? &format : nullptr))
            return Usage(err, error);
        OpenLibrary library;
        if (!Open(options, library, err))
            return 1;
        const std::vector<JointRow> rows = FilterJoints(library.store->Joints(), filter);
        if (list) {
            if (format == QLatin1String("csv"))
                std::fputs(JointsCsv(rows).constData(), out);
            else if (format == QLatin1String("json"))
                std::fputs(QJsonDocument(JointsJson(rows)).toJson().constData(), out);
            else
                Put(out, Table(rows));
            return 0;
        }
        const QString dir = args[1];
        if (!QDir().mkpath(dir) || !QFileInfo(dir).isDir()) {
            Put(err, QStringLiteral("vtq-library: %1 cannot be made\n").arg(Line(dir)));
            return 1;
        }
        const PdfExport done = ExportJointPdfs(rows, dir);
        for (const QString& p : done.written)
            Put(out, QStringLiteral("wrote %1\n").arg(Line(p)));
        for (const QString& p : done.failures)
            Put(err, QStringLiteral("vtq-library: %1\n").arg(Line(p)));
        return done.failures.isEmpty() ? 0 : 1;
    }
    return Usage(err, command.startsWith(QLatin1Char('-'))
                          ? QStringLiteral("unknown option %1").arg(command)
                          : QStringLiteral("unknown command %1").arg(command));
}
