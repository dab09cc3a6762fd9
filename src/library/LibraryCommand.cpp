#include "library/LibraryCommand.h"

#include "library/JobDossier.h"
#include "library/JointExport.h"
#include "library/JointTable.h"
#include "library/LibraryFolders.h"
#include "library/LibraryJob.h"
#include "library/LibraryScanner.h"
#include "library/LibraryStore.h"
#include "library/NamedRoots.h"
#include "library/ProcedureSource.h"
#include "library/VerdictBook.h"
#include "platform/DeviceRoot.h"
#include "platform/WholeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <memory>
#include <optional>

namespace {
void Put(FILE* f, const QString& text) {
    std::fputs(text.toUtf8().constData(), f);
}

int Usage(FILE* err, const QString& error) {
    Put(err, QStringLiteral("vtq-library: %1\n").arg(error) + LibraryUsage());
    return kExitUsage;
}

QString Line(const QString& text) {
    return SafeLine(text);
}

QString DatabaseOf(const LibraryOptions& options) {
    return ChosenLibraryDatabase(options.database);
}

int ExitFor(CLibraryStore::OpenResult result) {
    switch (result) {
    case CLibraryStore::OpenResult::Ok:
    case CLibraryStore::OpenResult::Rebuilt:
        return kExitOk;
    case CLibraryStore::OpenResult::Busy:
        return kExitBusy;
    default:
        return kExitFailure;
    }
}

// The store opened read-only, without any lock, and told how this desk
// reaches the named roots; null, with the reason told and the exit status
// set, when it cannot be.
std::unique_ptr<CLibraryStore> OpenReader(const LibraryOptions& options, FILE* err, int& code) {
    auto store = std::make_unique<CLibraryStore>(DatabaseOf(options), 5000);
    const CLibraryStore::OpenResult result = store->Open(CLibraryStore::Mode::Read);
    code = ExitFor(result);
    if (!store->Message().isEmpty())
        Put(err, QStringLiteral("vtq-library: %1\n").arg(store->Message()));
    if (code != kExitOk)
        return nullptr;
    const auto roots = store->Roots();
    if (!roots) {
        Put(err, QStringLiteral("vtq-library: %1\n").arg(store->Message()));
        code = kExitFailure;
        return nullptr;
    }
    const QHash<qint64, DeskRoot> desk =
        DeskRootsOf(*roots, RootMappings(), CLibraryScanner::kProbeMs);
    for (const LibraryRoot& root : *roots)
        if (const auto d = desk.constFind(root.id);
            d != desk.cend() && !d->reachable && !d->path.isEmpty())
            Put(err, QStringLiteral("vtq-library: %1: %2; its joints show as offline here\n")
                         .arg(Line(root.key), Line(d->reason)));
    store->SetDeskRoots(desk);
    return store;
}

// Runs a writer's job; the exit status, with what it said told.
int RunJob(const LibraryJob& job, LibraryJobResult& result, FILE* err) {
    result = RunLibraryJob(job);
    switch (result.outcome) {
    case LibraryJobResult::Done:
        if (!result.message.isEmpty())
            Put(err, QStringLiteral("vtq-library: %1\n").arg(result.message));
        return kExitOk;
    case LibraryJobResult::Busy:
        Put(err, QStringLiteral("vtq-library: the library %1 is busy: %2; try again later, or "
                                "wait for it with --wait SECONDS\n")
                     .arg(job.database, result.message));
        return kExitBusy;
    default:
        Put(err, QStringLiteral("vtq-library: %1\n").arg(result.message));
        return kExitFailure;
    }
}

// A number of seconds or days; nullopt when it is none.
std::optional<int> Count(const QString& text) {
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok && n >= 0 ? std::optional<int>(n) : std::nullopt;
}

// Reads the filter options; false with the usage error set.
bool ParseFilter(const QStringList& args, int from, JointFilter& filter, QString& error,
                 QString* format, QString* output, bool* raw) {
    for (int i = from; i < args.size(); ++i) {
        const QString& a = args[i];
        if (raw && a == QLatin1String("--raw")) {
            *raw = true;
            continue;
        }
        const bool takes = a == QLatin1String("--job") || a == QLatin1String("--since") ||
                           a == QLatin1String("--until") || a == QLatin1String("--verdict") ||
                           a == QLatin1String("--status") || a == QLatin1String("--review") ||
                           (format && a == QLatin1String("--format")) ||
                           (output && a == QLatin1String("-o"));
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
        } else if (a == QLatin1String("-o")) {
            *output = v;
        } else if (a == QLatin1String("--since") || a == QLatin1String("--until")) {
            const QDate d = QDate::fromString(v, Qt::ISODate);
            if (!d.isValid()) {
                error = QStringLiteral("%1 needs a date as YYYY-MM-DD").arg(a);
                return false;
            }
            (a == QLatin1String("--since") ? filter.since : filter.until) = d;
        } else if (a == QLatin1String("--verdict")) {
            if (!QStringList{QStringLiteral("pass"), QStringLiteral("fail"),
                             QStringLiteral("incomplete"), QStringLiteral("unknown"),
                             QStringLiteral("not-current")}
                     .contains(v)) {
                error =
                    QStringLiteral("--verdict is pass, fail, incomplete, unknown or not-current");
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
        } else if (a == QLatin1String("--review")) {
            if (!(ReviewStates() +
                  QStringList{QStringLiteral("not-reviewed"), QStringLiteral("changed")})
                     .contains(v)) {
                error = QStringLiteral(
                    "--review is accepted, rejected, re-test, not-reviewed or changed");
                return false;
            }
            filter.review = v == QLatin1String("not-reviewed") ? QStringLiteral("not reviewed") : v;
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

struct ScanArguments {
    QStringList folders, confirmed, here;
    int waitMs = 0;
};

bool ParseScan(const QStringList& args, ScanArguments& scan, QString& error) {
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--confirm-missing") || a == QLatin1String("--here") ||
            a == QLatin1String("--wait")) {
            if (i + 1 >= args.size() || args[i + 1].startsWith(QLatin1Char('-'))) {
                error = a == QLatin1String("--wait") ? QStringLiteral("--wait needs SECONDS")
                                                     : QStringLiteral("%1 needs a FOLDER").arg(a);
                return false;
            }
            const QString v = args[++i];
            if (a == QLatin1String("--wait")) {
                const std::optional<int> seconds = Count(v);
                if (!seconds) {
                    error = QStringLiteral("--wait needs SECONDS");
                    return false;
                }
                scan.waitMs = *seconds * 1000;
            } else {
                (a == QLatin1String("--here") ? scan.here : scan.confirmed) << v;
            }
        } else if (a.startsWith(QLatin1Char('-'))) {
            error = QStringLiteral("unknown option %1").arg(a);
            return false;
        } else {
            scan.folders << a;
        }
    }
    return true;
}

int Scan(const LibraryOptions& options, const ScanArguments& a, FILE* out, FILE* err) {
    for (const QString& f : a.folders)
        if (!QFileInfo(f).isDir()) {
            Put(err, QStringLiteral("vtq-library: %1 is not a folder\n").arg(Line(f)));
            return kExitFailure;
        }
    LibraryJob job;
    job.database = DatabaseOf(options);
    job.what = QStringLiteral("vtq-library scan");
    job.waitMs = a.waitMs;
    job.scan = true;
    job.named = RootMappings();
    const bool server = IsServerUrl(job.database);
    // An office's library knows its folders by the names every desk maps;
    // a folder of this PC alone would mean nothing to the others.
    QStringList named; // the names of the folders given
    for (const QString& f : a.folders) {
        const auto m = std::find_if(job.named.begin(), job.named.end(), [&](const RootMapping& r) {
            return r.folder == LibraryRootPath(f);
        });
        if (m != job.named.end())
            named << m->name;
        else if (server) {
            Put(err, QStringLiteral("vtq-library: %1 is no named folder of the office's library "
                                    "here: name it first (vtq-library map NAME \"%1\")\n")
                         .arg(Line(f)));
            return kExitFailure;
        } else {
            named << QString();
        }
    }
    if (!server) {
        job.folders = LibraryRoots();
        for (const QString& f : a.folders)
            if (!job.folders.contains(LibraryRootPath(f)) &&
                std::none_of(job.named.begin(), job.named.end(),
                             [&](const RootMapping& r) { return r.folder == LibraryRootPath(f); }))
                job.folders << LibraryRootPath(f);
    }
    job.confirmed = a.confirmed;
    job.hereNow = a.here;
    job.procedures = std::make_shared<CSettingsProcedureSource>();
    LibraryJobResult result;
    if (const int code = RunJob(job, result, err); code != kExitOk)
        return code;
    // The folders join the library once it has scanned them.
    for (qsizetype i = 0; i < a.folders.size(); ++i)
        if (named[i].isEmpty())
            AddLibraryFolder(a.folders[i]);
    const ScanSummary& s = result.summary;
    const auto list = [&](const char* what, const QStringList& paths) {
        for (const QString& p : paths)
            Put(out, QLatin1String(what) + QLatin1Char(' ') + Line(p) + QLatin1Char('\n'));
    };
    list("added", s.added);
    list("updated", s.updated);
    list("back", s.restored);
    list("moved", s.moved);
    list("not found", s.notFound);
    list("missing", s.missing);
    for (const QString& p : s.offline)
        Put(out, QStringLiteral("offline %1 (%2)\n").arg(Line(p), Line(s.offlineWhy.value(p))));
    list("unreadable", s.unreadable);
    list("judged again", s.rejudged);
    for (const QString& p : s.problems)
        Put(err, QStringLiteral("vtq-library: %1\n").arg(Line(p)));
    for (const QString& p : s.suspect)
        Put(err, QStringLiteral("vtq-library: %1 is empty or lost most of its joints at once, so "
                                "its vanished joints are taken for offline (another card in the "
                                "reader, or a share half there); if its reports were deleted or "
                                "moved on purpose, scan with --confirm-missing \"%1\"\n")
                     .arg(Line(p)));
    if (!s.notFound.isEmpty())
        Put(err, QStringLiteral("vtq-library: files not found are missing when a scan a day or "
                                "more later still does not find them\n"));
    Put(out, QStringLiteral("%1 added, %2 updated, %3 moved, %4 not found, %5 missing, %6 "
                            "offline, %7 unreadable, %8 unchanged\n")
                 .arg(s.added.size())
                 .arg(s.updated.size())
                 .arg(s.moved.size())
                 .arg(s.notFound.size())
                 .arg(s.missing.size())
                 .arg(s.offline.size())
                 .arg(s.unreadable.size())
                 .arg(s.unchanged));
    if (!s.rejudged.isEmpty())
        Put(out, QStringLiteral("%1 judged again: their verdict was made by another procedure, "
                                "procedure file, machine-list entry or check version\n")
                     .arg(s.rejudged.size()));
    bool namedAway = false;
    for (qsizetype i = 0; i < a.folders.size(); ++i)
        namedAway = namedAway || s.offline.contains(
                                     named[i].isEmpty() ? LibraryRootPath(a.folders[i]) : named[i]);
    // Joints left unjudged because their procedure cannot be had fail the
    // scan: a nightly job must not take them for judged.
    const bool unjudged = result.verdicts && !result.verdicts->Problems().isEmpty();
    return s.storeFailed || namedAway || unjudged ? kExitFailure : kExitOk;
}

int ForgetMissing(const LibraryOptions& options, const QStringList& args, FILE* out, FILE* err) {
    int days = 0;
    int waitMs = 0;
    bool dryRun = false, yes = false;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--dry-run")) {
            dryRun = true;
        } else if (a == QLatin1String("--yes")) {
            yes = true;
        } else if (a == QLatin1String("--older-than") || a == QLatin1String("--wait")) {
            const std::optional<int> n = Count(args.value(i + 1));
            if (!n)
                return Usage(err,
                             QStringLiteral("%1 needs a number of %2")
                                 .arg(a, a == QLatin1String("--wait") ? QStringLiteral("seconds")
                                                                      : QStringLiteral("days")));
            (a == QLatin1String("--wait") ? waitMs : days) =
                a == QLatin1String("--wait") ? *n * 1000 : *n;
            ++i;
        } else {
            return Usage(err, QStringLiteral("unknown argument %1").arg(a));
        }
    }
    if (dryRun == yes)
        return Usage(err, QStringLiteral("forget-missing shows its list with --dry-run and "
                                         "applies it with --yes"));
    const qint64 ageMs = qint64(days) * 24 * 3600 * 1000;
    const auto print = [&](const std::vector<ForgetItem>& items, const QString& verb) {
        for (const ForgetItem& item : items)
            Put(out,
                QStringLiteral("%1 %2 (joint %3 of %4, job %5; missing since %6)\n")
                    .arg(verb, Line(item.path))
                    .arg(item.jointNumber)
                    .arg(Line(item.dateTime), Line(item.job), LibraryTimeText(item.missingSince)));
    };
    if (dryRun) {
        int code = kExitOk;
        const std::unique_ptr<CLibraryStore> store = OpenReader(options, err, code);
        if (!store)
            return code;
        const auto items = store->MissingOlderThan(ageMs);
        if (!items) {
            Put(err, QStringLiteral("vtq-library: %1\n").arg(store->Message()));
            return kExitFailure;
        }
        print(*items, QStringLiteral("would forget"));
        Put(out, QStringLiteral("%1 missing files would be forgotten\n").arg(items->size()));
        return kExitOk;
    }
    LibraryJob job;
    job.database = DatabaseOf(options);
    job.what = QStringLiteral("vtq-library forget-missing");
    job.waitMs = waitMs;
    job.forgetAgeMs = ageMs;
    LibraryJobResult result;
    if (const int code = RunJob(job, result, err); code != kExitOk)
        return code;
    print(result.forgotten, QStringLiteral("forgets"));
    Put(out, QStringLiteral("%1 missing files forgotten\n").arg(result.forgottenCount));
    return kExitOk;
}

// Makes the library (on a server only this way), or brings it up to date.
int InitDatabase(const LibraryOptions& options, const QStringList& args, FILE* out, FILE* err) {
    bool upgrade = false;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--upgrade"))
            upgrade = true;
        else
            return Usage(err, QStringLiteral("unknown argument %1").arg(args[i]));
    }
    CLibraryStore store(DatabaseOf(options), 5000);
    const CLibraryStore::OpenResult result = store.Init(upgrade);
    if (result == CLibraryStore::OpenResult::Ok || result == CLibraryStore::OpenResult::Rebuilt) {
        Put(out, store.Message() + QLatin1Char('\n'));
        return kExitOk;
    }
    if (result == CLibraryStore::OpenResult::Busy) {
        Put(err, QStringLiteral("vtq-library: the library %1 is busy: %2; try again later\n")
                     .arg(store.Path(), store.Message()));
        return kExitBusy;
    }
    Put(err, QStringLiteral("vtq-library: %1\n").arg(store.Message()));
    return kExitFailure;
}

// This desk's folders of the office's named folders.
int Map(const QStringList& args, FILE* out, FILE* err) {
    if (args.size() == 1) {
        for (const RootMapping& m : RootMappings())
            Put(out, QStringLiteral("%1=%2\n").arg(m.name, Line(m.folder)));
        return kExitOk;
    }
    const bool remove = args.value(1) == QLatin1String("--remove");
    const QString name = args.value(remove ? 2 : 1);
    if (args.size() != 3 || !IsRootName(name))
        return Usage(err, QStringLiteral("map takes NAME FOLDER, or --remove NAME; a name is "
                                         "letters, digits, \".\", \"-\" and \"_\""));
    if (remove) {
        SetRootMapping(name, QString());
        return kExitOk;
    }
    if (!QFileInfo(args[2]).isDir()) {
        Put(err, QStringLiteral("vtq-library: %1 is not a folder\n").arg(Line(args[2])));
        return kExitFailure;
    }
    SetRootMapping(name, args[2]);
    Put(out, QStringLiteral("%1=%2\n").arg(name, Line(LibraryRootPath(args[2]))));
    return kExitOk;
}

QString Table(const std::vector<JointRow>& rows) {
    const int columns[] = {JC_ID,         JC_DATE_TIME, JC_JOINT,  JC_JOB,    JC_EMPLOYEE,
                           JC_MACHINE_ID, JC_VERDICT,   JC_REVIEW, JC_STATUS, JC_FILES};
    std::vector<QStringList> cells(1);
    for (int c : columns)
        cells[0] << JointColumnTitle(c);
    for (const JointRow& r : rows) {
        cells.emplace_back();
        for (int c : columns)
            cells.back() << Line(c == JC_FILES ? r.files.value(0)
                                 : c == JC_REVIEW && r.ReviewChanged()
                                     ? r.Review().state + QStringLiteral(" (report changed)")
                                     : JointCellText(r, c));
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

int ListOrExport(const LibraryOptions& options, const QStringList& args, FILE* out, FILE* err) {
    const bool list = args[0] == QLatin1String("list");
    if (!list && (args.size() < 2 || args[1].startsWith(QLatin1Char('-'))))
        return Usage(err, QStringLiteral("export-pdf needs a folder"));
    JointFilter filter;
    QString format = QStringLiteral("table");
    QString output;
    bool raw = false;
    QString error;
    if (!ParseFilter(args, list ? 1 : 2, filter, error, list ? &format : nullptr,
                     list ? &output : nullptr, list ? &raw : nullptr))
        return Usage(err, error);
    int code = kExitOk;
    std::unique_ptr<CLibraryStore> store = OpenReader(options, err, code);
    if (!store)
        return code;
    auto joints = store->Joints(filter);
    if (!joints) {
        Put(err, QStringLiteral("vtq-library: %1\n").arg(store->Message()));
        return kExitFailure;
    }
    const QString index = store->Path();
    store.reset();
    // A verdict is given as current only when it is what the procedure for
    // its job, that procedure's file, the machine list and this program's
    // check would make now.
    const std::shared_ptr<const CVerdictBook> verdicts =
        CVerdictBook::Load(CSettingsProcedureSource());
    for (const QString& p : verdicts->Problems())
        Put(err, QStringLiteral("vtq-library: %1\n").arg(Line(p)));
    MarkVerdicts(*joints, *verdicts);
    // The store narrowed the verdicts by what it keeps; whether each is
    // current is known only here.
    JointFilter current;
    current.status = QStringLiteral("all");
    current.verdict = filter.verdict;
    current.review = filter.review; // reviews are read with the rows
    const std::vector<JointRow> rows = FilterJoints(*joints, current);
    if (list) {
        const bool file = !output.isEmpty();
        QByteArray bytes;
        if (format == QLatin1String("csv"))
            bytes = JointsCsv(rows, {raw, file});
        else if (format == QLatin1String("json"))
            bytes = QJsonDocument(JointsJson(rows)).toJson();
        else
            bytes = Table(rows).toUtf8();
        if (!file) {
            std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out);
            return std::fflush(out) == 0 ? kExitOk : kExitFailure;
        }
        if (IsSameFile(output, index) || !WriteWholeFile(output, bytes)) {
            Put(err, QStringLiteral("vtq-library: %1 cannot be written\n").arg(Line(output)));
            return kExitFailure;
        }
        return kExitOk;
    }
    const QString dir = args[1];
    if (!QDir().mkpath(dir) || !QFileInfo(dir).isDir()) {
        Put(err, QStringLiteral("vtq-library: %1 cannot be made\n").arg(Line(dir)));
        return kExitFailure;
    }
    const PdfExport done = ExportJointPdfs(rows, dir, *verdicts);
    for (const QString& p : done.written)
        Put(out, QStringLiteral("wrote %1\n").arg(Line(p)));
    for (const QString& p : done.failures)
        Put(err, QStringLiteral("vtq-library: %1\n").arg(Line(p)));
    return done.failures.isEmpty() ? kExitOk : kExitFailure;
}
// review --joint ID --state STATE [...]: one change of a joint's review.
int Review(const LibraryOptions& options, const QStringList& args, FILE* out, FILE* err) {
    QString id, state, comment, reviewer;
    ReviewInspections inspections;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        static const QStringList kTakes{QStringLiteral("--joint"),   QStringLiteral("--state"),
                                        QStringLiteral("--comment"), QStringLiteral("--reviewer"),
                                        QStringLiteral("--visual"),  QStringLiteral("--bead-width"),
                                        QStringLiteral("--bend")};
        if (!kTakes.contains(a))
            return Usage(err, QStringLiteral("unknown argument %1").arg(Line(a)));
        if (i + 1 >= args.size())
            return Usage(err, QStringLiteral("%1 needs a value").arg(a));
        const QString v = args[++i];
        const auto passFail = [&](std::optional<bool>& value) {
            if (v != QLatin1String("pass") && v != QLatin1String("fail"))
                return false;
            value = v == QLatin1String("pass");
            return true;
        };
        if (a == QLatin1String("--joint")) {
            id = v.trimmed().toLower();
        } else if (a == QLatin1String("--state")) {
            state = v;
        } else if (a == QLatin1String("--comment")) {
            comment = v;
        } else if (a == QLatin1String("--reviewer")) {
            reviewer = v;
        } else if (a == QLatin1String("--visual") ? !passFail(inspections.visualPass)
                   : a == QLatin1String("--bend") ? !passFail(inspections.bendTestPass)
                                                  : false) {
            return Usage(err, QStringLiteral("%1 is pass or fail").arg(a));
        } else if (a == QLatin1String("--bead-width")) {
            bool ok = false;
            const double mm = v.toDouble(&ok);
            if (!ok || !(mm > 0 && mm < 1000))
                return Usage(err, QStringLiteral("--bead-width needs a width in millimetres"));
            inspections.beadWidthMm = mm;
        }
    }
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{12,64}$"));
    if (id.isEmpty() || state.isEmpty())
        return Usage(err, QStringLiteral("review needs --joint ID and --state"));
    if (!hex.match(id).hasMatch())
        return Usage(err, QStringLiteral("%1 is no joint ID: give at least the 12 hexadecimal "
                                         "digits that list prints")
                              .arg(Line(id)));
    if (!ReviewStates().contains(state))
        return Usage(err, QStringLiteral("--state is accepted, rejected or re-test"));

    auto store = std::make_unique<CLibraryStore>(DatabaseOf(options), 5000);
    const CLibraryStore::OpenResult opened = store->Open(CLibraryStore::Mode::Review);
    if (!store->Message().isEmpty())
        Put(err, QStringLiteral("vtq-library: %1\n").arg(store->Message()));
    if (opened != CLibraryStore::OpenResult::Ok)
        return ExitFor(opened) == kExitOk ? kExitFailure : ExitFor(opened);
    auto joints = store->Joints();
    if (!joints) {
        Put(err, QStringLiteral("vtq-library: %1\n").arg(store->Message()));
        return kExitFailure;
    }
    std::vector<const JointRow*> found;
    for (const JointRow& r : *joints)
        if (r.id > 0 && QString::fromLatin1(r.sha256.toHex()).startsWith(id))
            found.push_back(&r);
    if (found.size() != 1) {
        QStringList which;
        for (const JointRow* r : found)
            which << QStringLiteral("%1 (joint %2 of %3)")
                         .arg(QString::fromLatin1(r->sha256.toHex().left(id.size() + 4)))
                         .arg(r->fields.jointNumber)
                         .arg(r->fields.dateTime);
        Put(err, found.empty() ? QStringLiteral("vtq-library: no joint has the ID %1\n").arg(id)
                               : QStringLiteral("vtq-library: the ID %1 is ambiguous, it begins "
                                                "%2; give more digits\n")
                                     .arg(id, which.join(QStringLiteral(", "))));
        return kExitUsage;
    }
    std::vector<JointRow> one{*found[0]};
    MarkVerdicts(one, *CVerdictBook::Load(CSettingsProcedureSource()));
    const JointRow& row = one[0];
    QString why;
    if (const ReviewBlock block = ReviewRefusal(row, state, comment, why);
        block != ReviewBlock::None) {
        Put(err, QStringLiteral("vtq-library: %1; nothing was changed\n").arg(why));
        return block == ReviewBlock::NeedsComment ? kExitUsage : kExitFailure;
    }
    JointReview change = row.Review();
    change.machineId = row.fields.machineId;
    change.dateTime = row.fields.dateTime;
    change.jointNumber = row.fields.jointNumber;
    change.from = row.Review().state;
    change.state = state;
    change.reviewer = reviewer;
    change.comment = comment;
    change.inspections = inspections;
    change.sha256 = row.sha256;
    change.verdict = row.fields.verdict;
    change.procedureHash = row.fields.procedureHash;
    JointReview now;
    const QString joint = QStringLiteral("joint %1 of %2 (machine %3, ID %4)")
                              .arg(row.fields.jointNumber)
                              .arg(row.fields.dateTime, Line(row.fields.machineId), JointId(row));
    switch (store->AddReview(change, now)) {
    case CLibraryStore::ReviewOutcome::Done:
        Put(out, QStringLiteral("%1: %2 -> %3 by %4\n")
                     .arg(joint,
                          row.Review().state.isEmpty() ? QStringLiteral("not reviewed")
                                                       : row.Review().state,
                          state, Line(ReviewerText(now))));
        return kExitOk;
    case CLibraryStore::ReviewOutcome::Refused:
        Put(err, QStringLiteral("vtq-library: the review of %1 was changed meanwhile: it is %2 "
                                "by %3 since %4; nothing was changed. Look at it again and "
                                "repeat the review if it still holds\n")
                     .arg(joint, now.state, Line(ReviewerText(now)), LibraryTimeText(now.timeMs)));
        return kExitFailure;
    default:
        Put(err, QStringLiteral("vtq-library: %1\n").arg(store->Message()));
        return kExitFailure;
    }
}

// dossier --job TEXT -o FILE.pdf [...]: the job's dossier.
int Dossier(const LibraryOptions& options, const QStringList& args, FILE* out, FILE* err) {
    DossierRequest request;
    DossierFiles files;
    DossierOptions dossier;
    bool hasJob = false;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--letter")) {
            dossier.pageSize = QPageSize::Letter;
            continue;
        }
        if (a == QLatin1String("--force")) {
            dossier.force = true;
            continue;
        }
        static const QStringList kTakes{QStringLiteral("--job"),      QStringLiteral("--since"),
                                        QStringLiteral("--until"),    QStringLiteral("-o"),
                                        QStringLiteral("--split-by"), QStringLiteral("--csv"),
                                        QStringLiteral("--json")};
        if (!kTakes.contains(a))
            return Usage(err, QStringLiteral("unknown argument %1").arg(Line(a)));
        if (i + 1 >= args.size())
            return Usage(err, QStringLiteral("%1 needs a value").arg(a));
        const QString v = args[++i];
        if (a == QLatin1String("--job")) {
            request.job = v;
            hasJob = !v.trimmed().isEmpty();
        } else if (a == QLatin1String("--since") || a == QLatin1String("--until")) {
            const QDate d = QDate::fromString(v, Qt::ISODate);
            if (!d.isValid())
                return Usage(err, QStringLiteral("%1 needs a date as YYYY-MM-DD").arg(a));
            (a == QLatin1String("--since") ? request.since : request.until) = d;
        } else if (a == QLatin1String("-o")) {
            files.pdf = v;
        } else if (a == QLatin1String("--csv")) {
            files.csv = v;
        } else if (a == QLatin1String("--json")) {
            files.json = v;
        } else if (v == QLatin1String("week")) {
            dossier.split = DossierOptions::Split::Week;
        } else {
            const std::optional<int> n = Count(v);
            if (!n || *n < 1)
                return Usage(err, QStringLiteral("--split-by is week or a number of joints"));
            dossier.split = DossierOptions::Split::Joints;
            dossier.jointsPerFile = *n;
        }
    }
    if (!hasJob || files.pdf.isEmpty())
        return Usage(err, QStringLiteral("dossier needs --job TEXT and -o FILE.pdf"));
    if (request.since.isValid() && request.until.isValid() && request.since > request.until)
        return Usage(err, QStringLiteral("--since is after --until"));
    const QStringList outputs{files.pdf, files.csv, files.json};
    for (int i = 0; i < outputs.size(); ++i)
        for (int j = i + 1; j < outputs.size(); ++j)
            if (!outputs[i].isEmpty() && !outputs[j].isEmpty() &&
                (QFileInfo(outputs[i]).absoluteFilePath() ==
                     QFileInfo(outputs[j]).absoluteFilePath() ||
                 IsSameFile(outputs[i], outputs[j])))
                return Usage(err, QStringLiteral("%1 is named twice").arg(Line(outputs[j])));
    const auto refuseExisting = [&](const QStringList& existing) {
        Put(err, QStringLiteral("vtq-library: %1 is there already; nothing was written (--force "
                                "writes over it)\n")
                     .arg(Line(existing.join(QStringLiteral(", ")))));
        return kExitUsage;
    };
    if (!dossier.force) {
        QStringList existing;
        for (const QString& o : outputs)
            if (!o.isEmpty() && dossier.split == DossierOptions::Split::None &&
                (QFileInfo::exists(o) || QFileInfo(o).isSymLink()))
                existing << o;
        if (!existing.isEmpty())
            return refuseExisting(existing);
    }

    int code = kExitOk;
    std::unique_ptr<CLibraryStore> store = OpenReader(options, err, code);
    if (!store)
        return code;
    for (const QString& o : outputs)
        if (!o.isEmpty() && IsSameFile(o, store->Path()))
            return Usage(err, QStringLiteral("%1 is the library index").arg(Line(o)));
    auto joints = store->Joints();
    const auto history = joints ? store->ReviewHistory() : std::nullopt;
    if (!joints || !history) {
        Put(err, QStringLiteral("vtq-library: %1\n").arg(store->Message()));
        return kExitFailure;
    }
    const qint64 now = store->Now();
    store.reset();
    const std::shared_ptr<const CVerdictBook> verdicts =
        CVerdictBook::Load(CSettingsProcedureSource());
    MarkVerdicts(*joints, *verdicts);
    DossierJob job;
    QString error;
    if (!FillDossierJob(*joints, *history, *verdicts, request, now, job, error)) {
        Put(err, QStringLiteral("vtq-library: %1; nothing was written\n").arg(error));
        return kExitFailure;
    }
    const JobDossierResult done = WriteJobDossier(job, files, dossier);
    if (!done.existing.isEmpty())
        return refuseExisting(done.existing);
    if (!done.pdf.ok) {
        Put(err, QStringLiteral("vtq-library: the dossier cannot be written: %1\n")
                     .arg(Line(done.pdf.error)));
        return kExitFailure;
    }
    for (const QString& f : done.written)
        Put(out, QStringLiteral("wrote %1\n").arg(Line(f)));
    QMap<QString, int> states;
    for (const DossierRow& row : done.plan.rows)
        ++states[row.state];
    QStringList counts;
    for (auto it = states.cbegin(); it != states.cend(); ++it)
        counts << QStringLiteral("%1 %2").arg(it.value()).arg(it.key());
    Put(out, QStringLiteral("%1 joints of job %2: %3\n")
                 .arg(done.plan.rows.size())
                 .arg(Line(job.job), counts.join(QStringLiteral(", "))));
    for (const DossierNearMatch& m : job.nearMatches)
        Put(out, QStringLiteral("left out: job %1 (%2 joints), another job\n")
                     .arg(Line(m.job))
                     .arg(m.joints));
    if (!job.outsideRange.empty())
        Put(out, QStringLiteral("left out: %1 joints of the job dated outside the range\n")
                     .arg(job.outsideRange.size()));
    return kExitOk;
}

// The text of FILE, or of the standard input for "-"; false when it cannot
// be read.
bool ReadText(const QString& file, QString& text) {
    QFile f;
    const bool open = file == QLatin1String("-")
                          ? f.open(stdin, QIODevice::ReadOnly)
                          : (f.setFileName(file), f.open(QIODevice::ReadOnly));
    if (!open)
        return false;
    const QByteArray bytes = f.readAll();
    text = QString::fromUtf8(bytes);
    return f.error() == QFileDevice::NoError;
}

// procedures / machines: shows what the library judges by, or sets it
// (--set FILE, --clear).
int ProcedureSettingsCommand(const QStringList& args, FILE* out, FILE* err) {
    const bool machines = args[0] == QLatin1String("machines");
    const QString what = machines ? QStringLiteral("machine list") : QStringLiteral("rules");
    CSettingsProcedureSource source;
    if (args.size() > 1) {
        const QString& a = args[1];
        const bool set = a == QLatin1String("--set") && args.size() == 3;
        if (!(set || (a == QLatin1String("--clear") && args.size() == 2)))
            return Usage(err, QStringLiteral("%1 takes --set FILE or --clear").arg(args[0]));
        QString text;
        if (set && !ReadText(args[2], text)) {
            Put(err, QStringLiteral("vtq-library: %1 cannot be read\n").arg(Line(args[2])));
            return kExitFailure;
        }
        QString error;
        if (machines) {
            MachineRegistry registry;
            if (!ReadMachineRegistry(text, registry, error)) {
                Put(err, QStringLiteral("vtq-library: %1: %2; nothing was changed\n")
                             .arg(Line(args.value(2)), error));
                return kExitFailure;
            }
        } else {
            std::vector<ProcedureRule> rules;
            if (!ReadProcedureRules(text, rules, error)) {
                Put(err, QStringLiteral("vtq-library: %1: %2; nothing was changed\n")
                             .arg(Line(args.value(2)), error));
                return kExitFailure;
            }
            // Kept with absolute paths (a relative one is taken from the
            // rules file's folder), and only when every file is a procedure.
            const QDir base = args.value(2) == QLatin1String("-")
                                  ? QDir::current()
                                  : QFileInfo(args.value(2)).absoluteDir();
            QStringList lines;
            bool ok = true;
            for (ProcedureRule& rule : rules) {
                rule.procedurePath = QDir::cleanPath(base.absoluteFilePath(rule.procedurePath));
                Procedure procedure;
                if (!LoadProcedure(rule.procedurePath, procedure, error)) {
                    Put(err, QStringLiteral("vtq-library: the rule \"%1 => %2\" names no usable "
                                            "procedure: %3\n")
                                 .arg(Line(rule.jobText), Line(rule.procedurePath), Line(error)));
                    ok = false;
                }
                lines << rule.jobText + QStringLiteral(" => ") + rule.procedurePath;
            }
            if (!ok) {
                Put(err, QStringLiteral("vtq-library: nothing was changed\n"));
                return kExitFailure;
            }
            text = lines.join(QLatin1Char('\n'));
        }
        const ProcedureSettings now = source.Read();
        if (!source.Write(machines ? now.rules : text.trimmed(),
                          machines ? text.trimmed() : now.machines, error)) {
            Put(err, QStringLiteral("vtq-library: the %1 cannot be kept: %2\n").arg(what, error));
            return kExitFailure;
        }
        Put(err, QStringLiteral("vtq-library: %1 set; the next scan judges again the joints "
                                "whose verdict it changes\n")
                     .arg(machines ? QStringLiteral("the machine list is")
                                   : QStringLiteral("the procedure rules are")));
    }
    const std::shared_ptr<const CVerdictBook> book = CVerdictBook::Load(source);
    const ProcedureSettings& settings = book->Settings();
    if (machines) {
        const MachineRegistry* registry = book->Machines();
        if (!registry && book->Problems().isEmpty())
            Put(out, QStringLiteral("No machines are listed (%1).\n").arg(settings.where));
        if (registry)
            for (const MachineEntry& m : registry->machines)
                Put(out, Line(MachineEntryText(&m)) + QLatin1Char('\n'));
    } else {
        std::vector<ProcedureRule> rules;
        QString error;
        ReadProcedureRules(settings.rules, rules, error);
        for (const ProcedureRule& rule : rules) {
            const CVerdictBook::Choice c = book->For(rule.jobText);
            QString line = QStringLiteral("job contains \"%1\" => %2: ")
                               .arg(Line(rule.jobText), Line(rule.procedurePath));
            line += c.procedure ? QStringLiteral("%1 (SHA-256 %2)")
                                      .arg(Line(c.procedure->name),
                                           QString::fromLatin1(c.procedure->sha256))
                                : QStringLiteral("NOT JUDGED: ") + Line(c.why);
            Put(out, line + QLatin1Char('\n'));
        }
        const Procedure& shipped = DefaultProcedure();
        Put(out, QStringLiteral("%1 => the shipped procedure: %2 (SHA-256 %3)\n")
                     .arg(rules.empty() ? QStringLiteral("every job")
                                        : QStringLiteral("every other job"),
                          shipped.name, QString::fromLatin1(shipped.sha256)));
        Put(out, QStringLiteral("check version %1\n").arg(kCheckVersion));
    }
    for (const QString& p : book->Problems())
        Put(err, QStringLiteral("vtq-library: %1\n").arg(Line(p)));
    return book->Problems().isEmpty() ? kExitOk : kExitFailure;
}
} // namespace

QString LibraryUsage() {
    return QStringLiteral(
        "Usage: vtq-library [--database FILE|URL] [--root DIR]\n"
        "       vtq-library [OPTIONS] scan [SCAN OPTIONS] [FOLDER...]\n"
        "       vtq-library [OPTIONS] list [FILTER...] [--format table|csv|json] [-o FILE] "
        "[--raw]\n"
        "       vtq-library [OPTIONS] export-pdf DIR [FILTER...]\n"
        "       vtq-library [OPTIONS] forget-missing [--older-than DAYS] --dry-run|--yes\n"
        "       vtq-library [OPTIONS] init-database [--upgrade]\n"
        "       vtq-library map [NAME FOLDER | --remove NAME]\n"
        "       vtq-library [OPTIONS] review --joint ID --state accepted|rejected|re-test\n"
        "                   [--comment TEXT] [--reviewer NAME] [--visual pass|fail]\n"
        "                   [--bead-width MM] [--bend pass|fail]\n"
        "       vtq-library [OPTIONS] dossier --job TEXT [--since DATE] [--until DATE]\n"
        "                   -o FILE.pdf [--split-by week|N] [--letter] [--csv FILE]\n"
        "                   [--json FILE] [--force]\n"
        "       vtq-library procedures [--set FILE|- | --clear]\n"
        "       vtq-library machines [--set FILE|- | --clear]\n"
        "The library of Kelvorn joint reports: every joint found in the report folders.\n"
        "Without a command it opens its window.\n"
        "  scan            adds the FOLDERs to the library's folders if new, scans every\n"
        "                  folder and prints what it added, updated, found moved, did not\n"
        "                  find, marked missing or offline (with the reason), could not\n"
        "                  read, and judged again. A card is known by its volume, so cards\n"
        "                  that take turns in one reader are kept apart. A file not found\n"
        "                  is missing only when a scan a day or more later still does not\n"
        "                  find it. A folder that is empty or would lose most of its joints\n"
        "                  at once keeps them offline until --confirm-missing says otherwise\n"
        "  list            the joints (by default the present ones) as a table, CSV or JSON,\n"
        "                  each with its ID and its review;\n"
        "                  -o FILE writes them to FILE (a CSV file starts with a byte-order\n"
        "                  mark); CSV cells that a spreadsheet would take for a formula get\n"
        "                  a ' before them unless --raw\n"
        "  export-pdf      the printed page and the procedure check of each joint into DIR,\n"
        "                  named like its report; a PDF already there is never written over\n"
        "                  (\"name (2).pdf\")\n"
        "  forget-missing  removes the files missing for more than DAYS days (default 0)\n"
        "                  from reachable folders, and the joints left without a file:\n"
        "                  --dry-run prints the list, --yes removes them\n"
        "  init-database   makes the library in the database (on a server, the only way it\n"
        "                  is made); --upgrade brings one made by an older vtq-library up\n"
        "                  to date\n"
        "  map             this computer's FOLDER for the office's folder named NAME\n"
        "                  (letters, digits, . - _); without arguments, lists them\n"
        "  review          records a reviewer's decision on the joint whose ID (the first\n"
        "                  12 hexadecimal digits list prints, or more) is given: accepted,\n"
        "                  rejected or re-test (to be cut out and made again), with the\n"
        "                  reviewer's name (the system user and host are added), a comment\n"
        "                  and the inspections the data log cannot show: visual inspection,\n"
        "                  bead width in mm, bend test. A joint is ready for review once\n"
        "                  its procedure check has a current verdict; accepting one whose\n"
        "                  verdict is not pass needs --comment. Every change is kept in\n"
        "                  the reviews' history, which is never changed; a review changed\n"
        "                  by someone else meanwhile is refused. Reviews belong to the\n"
        "                  joint and outlive rescans, moved files and forget-missing; list\n"
        "                  says when the present copy is not the one that was reviewed\n"
        "  dossier         one PDF for the joints of a job (its number matched whole, in any\n"
        "                  case): a cover (procedure and its SHA-256, machines, operators,\n"
        "                  counts by verdict and review, other jobs with a near number and\n"
        "                  joints dated outside the range, which it leaves out), a table of\n"
        "                  the joints, each joint's printed page and procedure check, and\n"
        "                  the review history; page numbers on every page. Every joint is\n"
        "                  judged as it enters. --split-by week or N writes one file a week\n"
        "                  or every N joints, --letter Letter pages instead of A4, --csv and\n"
        "                  --json the table. A file already there is never written over\n"
        "                  without --force; the dossier is written whole or not at all\n"
        "  procedures      prints which procedure judges which jobs; --set FILE takes the\n"
        "                  rules from FILE (- for the standard input), one a line:\n"
        "                    TEXT => PROCEDURE.ini\n"
        "                  a job whose number contains TEXT (any case; the first rule that\n"
        "                  matches wins) is judged by that procedure file, every other job\n"
        "                  by the shipped generic PE procedure; --clear leaves the shipped\n"
        "                  one for every job\n"
        "  machines        prints the office's machine list; --set FILE takes it from FILE,\n"
        "                  one machine a line:\n"
        "                    MACHINE-ID; model; piston area [in2|cm2]; YYYY-MM-DD\n"
        "                  (the last calibration, may be left out); --clear empties it\n"
        "Scan options:\n"
        "  --confirm-missing FOLDER|NAME\n"
        "                  the reports that vanished from FOLDER were removed on purpose:\n"
        "                  they are missing at once (may be given more than once)\n"
        "  --here FOLDER|NAME\n"
        "                  FOLDER, a mount point before, is the library's folder now; or\n"
        "                  the folder mapped to NAME is that folder, though it holds none of\n"
        "                  the reports last seen there\n"
        "Filters:\n"
        "  --job TEXT      job number contains TEXT\n"
        "  --since DATE    joints on or after DATE (YYYY-MM-DD)\n"
        "  --until DATE    joints on or before DATE\n"
        "  --verdict pass|fail|incomplete|unknown|not-current\n"
        "                  the procedure check's verdict, current ones only (not-current:\n"
        "                  those made by another procedure, file, machine entry or check)\n"
        "  --status present|missing|offline|unreadable|all   (default present)\n"
        "  --review accepted|rejected|re-test|not-reviewed|changed\n"
        "                  the review (changed: the present copy is not the one reviewed)\n"
        "Options:\n"
        "  --database FILE|URL\n"
        "                  the library index: an SQLite FILE, or an office's library on a\n"
        "                  PostgreSQL server, postgresql://[USER@]HOST[:PORT]/DATABASE or\n"
        "                  postgresql:///DATABASE?host=SOCKETFOLDER (default:\n"
        "                  $VTQ_LIBRARY_DB, else Database in [Library] of the settings file,\n"
        "                  else ~/.local/share/Kelvorn/Kelvorn Joint Reports/library.sqlite);\n"
        "                  a file that is not a library index is refused and left as it is;\n"
        "                  a password is never taken from it: ~/.pgpass or $PGPASSWORD\n"
        "  --root DIR      the device root whose \"Joint Reports\" is a library folder\n"
        "  --wait SECONDS  scan and forget-missing wait this long for another one to end\n"
        "  --help          show this text\n"
        "  --version       show the program's version\n"
        "Verdicts: each joint is judged by the procedure check of vtq-report with the\n"
        "procedure for its job and the machine list: pass, fail, incomplete (a cut\n"
        "download is never a pass), or unknown: not judged, for a report the procedure\n"
        "does not cover (sidewall, Tarvex, a demonstration log). A verdict keeps the\n"
        "name of its procedure, the SHA-256 of the procedure file, the check's version\n"
        "and the machine's entry in the list. When any of them is no longer what would\n"
        "judge the joint now, the verdict is not current: list gives \"not-current\"\n"
        "(JSON: \"verdict_current\": false, the verdict made then in \"judged_verdict\",\n"
        "why in \"verdict_note\"), the window \"not current\", and the next scan judges\n"
        "the joint again. A rule whose file cannot be read leaves its joints unjudged\n"
        "(never judged by another procedure), and scan then exits 1.\n"
        "A wrong machine or pipe chosen in the setup wizard is invisible in the report\n"
        "itself: the report holds the wrong piston area or pipe and the pressures worked\n"
        "out from them. Only the machine list catches a wrong machine (its model or piston\n"
        "area differ: the applied pressure fails); a wrong pipe it cannot catch.\n"
        "Folders: the device root's \"Joint Reports\", the backup folder's \"Joint Reports\"\n"
        "([Storage] Card), those added ([Library] Folders) in the settings file, and the\n"
        "named folders mapped here ([Library] Roots). An office's library on a server\n"
        "scans only named folders, so that its joints mean the same on every desk. The\n"
        "rules and the machine list are the text values ProcedureRules and Machines of\n"
        "[Library] in the settings file of the program that scans (procedures --set and\n"
        "machines --set write them); in an office, the indexer's.\n"
        "Reading (list, export-pdf, the window) never waits for a scan.\n"
        "Exit status: 0 done; 1 failed, with a message (a folder or the index cannot be\n"
        "used, the server cannot be reached or refused the login, a procedure file or the\n"
        "machine list cannot be read, a joint not ready for review or its review changed\n"
        "meanwhile, a job without joints); 2 wrong usage (also: an unknown or ambiguous\n"
        "joint ID, accepting without the comment it needs, a dossier file already there\n"
        "without --force);\n"
        "75 busy: another scan or forget-missing holds the library.\n");
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
        return kExitOk;
    }
    if (command == QLatin1String("--version")) {
        Put(out, QStringLiteral("vtq-library %1\n").arg(QStringLiteral(VTQ_VERSION)));
        return kExitOk;
    }
    if (!options.root.isEmpty())
        SetDeviceRoot(options.root);
    if (command == QLatin1String("scan")) {
        ScanArguments scan;
        QString error;
        if (!ParseScan(args, scan, error))
            return Usage(err, error);
        return Scan(options, scan, out, err);
    }
    if (command == QLatin1String("forget-missing"))
        return ForgetMissing(options, args, out, err);
    if (command == QLatin1String("init-database"))
        return InitDatabase(options, args, out, err);
    if (command == QLatin1String("map"))
        return Map(args, out, err);
    if (command == QLatin1String("list") || command == QLatin1String("export-pdf"))
        return ListOrExport(options, args, out, err);
    if (command == QLatin1String("dossier"))
        return Dossier(options, args, out, err);
    if (command == QLatin1String("review"))
        return Review(options, args, out, err);
    if (command == QLatin1String("procedures") || command == QLatin1String("machines"))
        return ProcedureSettingsCommand(args, out, err);
    return Usage(err, command.startsWith(QLatin1Char('-'))
                          ? QStringLiteral("unknown option %1").arg(command)
                          : QStringLiteral("unknown command %1").arg(command));
}
