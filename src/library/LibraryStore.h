#pragma once
// The library's index: which joint reports lie in which folders. It is a
// cache of the reports themselves, rebuilt from them at will; what people
// decide about joints (reviews) lives apart from it, in a file of its own
// that is never set aside, cascaded away or dropped with orphans.
//
// The index is an SQLite file (one PC) or a database on a PostgreSQL server
// (an office: LibraryLocation.h). The SQL is written once against the
// store's dialect (SqlDialect.h); the file handling of an SQLite index (a
// foreign file refused, only our own damaged index set aside, a network
// folder avoided, WAL checked) is in SqliteIndexFile.h, what only a server
// has in PostgresIndex.h. Each thread opens its own CLibraryStore (a Qt SQL
// connection stays in the thread that made it). Readers open it read-only
// and take no lock; writers (a scan, forget-missing, a folder change) hold
// the scan lock (ScanLock.h) around their work; on a server every commit
// of theirs first checks that the lock is still theirs.
//
// The model:
// - A root is a folder of reports of one kind: `path` (known by its path),
//   `volume` (a folder on a file system known by its UUID: a card, wherever
//   it is mounted) or `named` (a name an office gives, mapped per desk).
//   Each host keeps its own state of a path or volume root: where it is,
//   reachable or offline with a reason, suspect. A named root's scan state
//   is the office's (whichever desk indexes it); whether a desk reaches it
//   is worked out by that desk when it reads (NamedRoots.h).
// - A joint is (machine ID, date and time, joint number). A version is one
//   content of its report, known by its SHA-256: copies, appended notes, a
//   cut download and its whole copy are versions of one joint.
// - A file is a path below a root (bytes, plus a display text) holding one
//   version, or unreadable with a reason.

#include "library/LibraryLocation.h"
#include "library/Reviews.h"
#include "library/SqlDialect.h"

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

// Files larger than this are no report (a real one is far smaller).
constexpr qint64 kMaxReportBytes = 64 * 1024 * 1024;

// What a report says about its joint, as the index keeps it.
struct JointFields {
    QString dateTime; // "yyyy-MM-dd hh:mm:ss", so that text order is time order
    int jointNumber = 0;
    QString job;
    QString employee;
    QString machineId;
    QString model;
    QString material;
    QString sizeText;
    QString heaterTemp;
    int samples = 0;
    double durationSeconds = 0;
    int maxPressurePsi = 0;
    QString pressUnit;
    bool demo = false;
    QString notes;
    bool cut = false; // read from a download that did not bring the whole report
    // The procedure check's verdict, and what judged it: the procedure's
    // name, the SHA-256 of its file (hex), the check's version and the
    // office's machine-list entry of the joint's machine (VerdictBook.h).
    QString verdict;
    QString procedureName;
    QString procedureHash;
    QString checkVersion;
    QString machineEntry;
    // False when no verdict was made as the report was read (its procedure
    // cannot be had now): the index keeps the verdict it had.
    bool judged = true;
};

// Stored sort keys of a joint's text columns (SortKey.h).
struct JointSortKeys {
    QString job, employee, machine, model, material, size, heater, notes;
};

// One place a joint's report was found.
struct JointFile {
    qint64 id = 0;
    QByteArray path; // full path as bytes on this host; empty where the root has none
    QByteArray base; // of a named root: this desk's folder for it, that `path` begins with
    QString display; // the same as text, for people
    QByteArray sha256;
    bool current = false; // holds the joint's current version
    QString status;       // "present", "missing", "offline"
};

// One row of the library's table: a joint, or a file that could not be
// read as a report.
struct JointRow {
    qint64 id = 0;                 // the joint's id, or minus the unreadable file's id
    QString status;                // "present", "missing", "offline" or "unreadable"
    QStringList files;             // every place the joint was found, as text, sorted
    std::vector<JointFile> copies; // the same; current version's first
    QString reason;                // why an unreadable file could not be read
    JointFields fields;            // of the current version
    JointSortKeys keys;
    QByteArray sha256; // of the current version
    int versions = 1;
    qint64 missingSince = 0; // ms UTC when no copy was seen at the last complete scan
    // Why the verdict is not current (MarkVerdicts); empty when it is.
    QString verdictNote;
    // The joint's review; its state is empty when it has none. Kept apart:
    // most joints have none, and a large library's table holds every row.
    const JointReview& Review() const { return m_review ? *m_review : NoReview(); }
    void SetReview(const JointReview& review) {
        m_review = std::make_shared<const JointReview>(review);
    }
    // The present copy's bytes are not those the reviewer saw.
    bool ReviewChanged() const { return !Review().state.isEmpty() && Review().sha256 != sha256; }

private:
    static const JointReview& NoReview();
    std::shared_ptr<const JointReview> m_review;
};

// A place in the window's browse tree: every joint, a job (on one day
// when `day` is given) or a machine.
struct BrowseChoice {
    enum Kind { All, Job, Machine };
    Kind kind = All;
    QString value;
    QString day; // "yyyy-MM-dd" as the report gives it

    bool operator==(const BrowseChoice&) const = default;
    // As text, for the settings file, and back.
    QString Text() const;
    static BrowseChoice FromText(const QString& text);
};

// Which joints to read; the store works out every condition but the
// browse tree's in SQL, the window tests rows it holds with Matches.
struct JointFilter {
    // In job, employee, machine and notes, any case (the window also looks
    // in model, joint number and the files' names: SearchMatches).
    QString search;
    QString job; // in the job number, any case
    QDate since; // the joint's date on or after
    QDate until; // on or before
    // "" any; else as RowVerdict ("not judged" and "not current" also do).
    // Whether a verdict is current is known only to the program that reads
    // (MarkVerdicts): the store keeps the rows whose kept verdict can be it.
    QString verdict;
    QString status = QStringLiteral("present"); // "all" any
    // "" any; a review state, "not reviewed", or "changed" (the present
    // copy is not the one reviewed); tested on rows read (Matches).
    QString review;
    int newest = 0;      // only the newest this many joints (0: all), and no unreadable files
    BrowseChoice browse; // the window's only

    // The same test for a row already read (the window's table).
    bool Matches(const JointRow& row) const;
    bool operator==(const JointFilter&) const = default;
};

enum class RootKind { Path, Volume, Named };
QString RootKindName(RootKind kind);

// A root, with this host's state of it.
struct LibraryRoot {
    qint64 id = 0;
    RootKind kind = RootKind::Path;
    QString key;    // path: the folder; volume: "UUID:path inside the volume"
    QString source; // the library folder it was found at
    QString volumeUuid;
    QString volumeLabel;
    // This host's state; `known` false when the host has none yet.
    bool known = false;
    QByteArray path;
    QString pathText;
    bool reachable = false;
    QString reason;       // why it is offline, or suspect
    bool mounted = false; // on a file system of its own when last reachable
    bool suspect = false; // lost most of its joints at once; its vanished files are away
    qint64 checkedAt = 0;
    qint64 completeAt = 0;        // the last complete listing
    QStringList otherFileSystems; // folders below it on other file systems, not entered
    // A named root: what the office's indexer saw there (NamedRoots.h).
    QString fingerprint;
};

// How this desk reaches a named root, worked out when it reads.
struct DeskRoot {
    QByteArray path; // this desk's folder for it; empty when it maps none
    QString pathText;
    bool reachable = false;
    QString reason; // why not
};

// A file of a root as the index knows it.
struct IndexedFile {
    qint64 id = 0;
    QByteArray relPath; // as the file system gave it when last seen
    qint64 size = 0;
    qint64 mtimeMs = 0;
    qint64 versionId = 0; // 0: unreadable
    QByteArray sha256;
    QString text; // the path inside the root as text
    bool missing = false;
    bool away = false;
    qint64 goneSince = 0;
};

// How many joints a root holds, and how many of them are present there.
struct RootJoints {
    int joints = 0;
    int present = 0;
};

// A missing file that forget-missing would remove.
struct ForgetItem {
    qint64 fileId = 0;
    QString path;
    qint64 missingSince = 0;
    QString job;
    int jointNumber = 0;
    QString dateTime;
};

class CLibraryStore {
public:
    // Version 1: roots, reports, files; 2: the check's verdict; 3: roots of
    // kinds with per-host state, joints and their versions, files by bytes
    // with their time of going missing, sort keys; 4: the machine-list entry
    // a verdict was made with; 5: folded texts to search in SQL, named
    // roots' fingerprints, files known by a key that is alike on every desk,
    // the office's settings, the scan's holder; 6: an index of the folded
    // texts' trigrams for the search (on a server, where its login may make
    // pg_trgm). Versions from 4 on only add, and are the same on both stores.
    static constexpr int kSchemaVersion = 6;
    // A build opens a server's library of its major version, also a newer
    // one (what later versions add it does not read).
    static constexpr int kSchemaMajor = 1;
    // Stored in the database header; a database without it is not ours.
    static constexpr qint64 kApplicationId = 0x4b4a524c; // "KJRL"
    // The reviews file's: never taken for the index.
    static constexpr qint64 kReviewsApplicationId = 0x4b4a5256; // "KJRV"
    // Version 1: marked; 2: the history of reviews.
    static constexpr int kReviewsSchemaVersion = 2;

    // Read: the index and the reviews read-only, no lock. Write: a writer of
    // the index (under the scan lock). Review: reads the index as a reader
    // does and writes only reviews, so it never waits for a scan.
    enum class Mode { Read, Write, Review };
    enum class OpenResult {
        Ok,
        Rebuilt, // ours, damaged: set aside and made again (Write)
        NoIndex, // no index there yet (Read)
        Older,   // made by an older program: a writer brings it up to date (Read)
        Damaged, // the next writer sets it aside and builds it again (Read)
        TooNew,  // made by a newer program: left alone
        Foreign, // not a library index: refused, left alone
        Busy,    // another program holds it
        Failed,  // cannot be used now; Message() says why
    };

    // `database`: a file, or a server's URL (LibraryLocation.h). `busyMs`:
    // how long a statement waits for another connection's write (SQLite).
    explicit CLibraryStore(QString database, int busyMs = 250);
    ~CLibraryStore();
    CLibraryStore(const CLibraryStore&) = delete;
    CLibraryStore& operator=(const CLibraryStore&) = delete;

    OpenResult Open(Mode mode);
    // Makes the library (a server's only this way), or with `upgrade`
    // brings it up to date; Ok when it is ready, Message() says what was
    // done.
    OpenResult Init(bool upgrade);
    // What happened on opening, or why the last call failed.
    const QString& Message() const { return m_message; }
    // The file used: the one asked for, or the local one that stands in
    // for an index asked for on a network file system; a server's URL.
    const QString& Path() const { return m_path; }
    // The reviews file of that index (ReviewsDatabase, or where PlaceIndex
    // keeps it for an index asked for on a network file system).
    const QString& ReviewsPath() const { return m_reviewsPath; }
    const LibraryLocation& Location() const { return m_location; }
    bool IsServer() const { return m_location.server; }
    const CSqlDialect& Dialect() const { return m_dialect; }
    bool IsOpen() const { return m_db.isOpen(); }
    // Whether the last failure lost the connection to the server.
    bool ConnectionLost() const { return m_bLost; }

    // Set by the scan lock taken on this store's session (a server's);
    // every commit then first checks that it is still held.
    void SetScanLockHeld(bool held) { m_bScanLock = held; }
    bool HoldsScanLock() const { return m_bScanLock; }
    QSqlDatabase& Connection() { return m_db; }

    // How this desk reaches the named roots, for what it reads next.
    void SetDeskRoots(QHash<qint64, DeskRoot> roots) { m_desk = std::move(roots); }

    // The store's clock (ms UTC).
    qint64 Now();
    // Changes when another connection committed; -1 when it cannot tell.
    qint64 ChangeCounter();

    bool Begin();
    bool Commit();
    void Rollback();

    // Roots. PutRoot finds the root by its key (adding it when new), brings
    // its source and volume label up to date and returns its id; 0 on failure.
    qint64 PutRoot(const LibraryRoot& root);
    std::optional<std::vector<LibraryRoot>> Roots();
    // This host's state of the root (the office's, of a named root).
    bool SetRootState(const LibraryRoot& root);
    // Removes roots with their files (never anything of the reviews).
    bool RemoveRoots(const std::vector<qint64>& ids);
    bool SetRootFingerprint(qint64 rootId, const QString& fingerprint);
    // Present files of a root that stand for it in its fingerprint: path
    // inside it (bytes) and SHA-256, at most `count`.
    std::optional<std::vector<std::pair<QByteArray, QByteArray>>> SampleFiles(qint64 rootId,
                                                                              int count);

    // Files of one root, by their key (FileKey).
    std::optional<QHash<QByteArray, IndexedFile>> FilesOfRoot(qint64 rootId);
    // One file of a root by its key (FileKey); an id of 0 when the index
    // has none there.
    std::optional<IndexedFile> FileOfRoot(qint64 rootId, const QByteArray& key);
    // Adds or replaces the file's row, as seen now.
    bool PutFile(qint64 rootId, const QByteArray& relPath, const QByteArray& key,
                 const QString& text, qint64 size, qint64 mtimeMs, qint64 versionId,
                 const QString& reason);
    // Seen unchanged: no longer gone, away or missing.
    bool SetFileSeen(qint64 fileId);
    bool SetFileGone(qint64 fileId, qint64 goneSince, bool missing);
    bool SetFileAway(qint64 fileId);
    bool RemoveFile(qint64 fileId);
    // The version with these bytes' hash, with its joint, added when new;
    // the fields of a version read again replace what the index kept (a
    // newer program may know more of the same bytes). 0 on failure.
    qint64 PutVersion(const QByteArray& sha256, qint64 size, const JointFields& fields);
    // Each version's joint, job and verdict with what judged it (JointFields'
    // job, machineId, cut, verdict, procedureName, procedureHash,
    // checkVersion and machineEntry), by the version's id.
    std::optional<std::vector<std::pair<qint64, JointFields>>> VersionVerdicts();
    // Whether the version with these bytes was ever read from a cut
    // download; false for bytes not indexed.
    std::optional<bool> VersionCut(const QByteArray& sha256);
    // A file of this version that was seen present in a reachable root,
    // other than `fileId`: its path as text, or empty.
    std::optional<QString> PresentCopyOf(qint64 versionId, qint64 fileId);
    // Drops versions without files and joints without versions, and picks
    // each joint's current version again.
    bool Tidy();

    // Missing files older than `ageMs` in reachable roots.
    std::optional<std::vector<ForgetItem>> MissingOlderThan(qint64 ageMs);
    // Removes those of `fileIds` that are still missing longer than `ageMs`;
    // the number removed, -1 on failure.
    int Forget(const std::vector<qint64>& fileIds, qint64 ageMs);

    // The joints the filter keeps (the unreadable files among them), in
    // time order, each with every copy.
    std::optional<std::vector<JointRow>> Joints(const JointFilter& filter = AllJoints());
    static JointFilter AllJoints();

    // The office's settings kept with the index (a server's library).
    std::optional<QString> Setting(const QString& key);
    bool SetSetting(const QString& key, const QString& value);
    // The joints of each root (by its id), for the Folders dialog.
    std::optional<QHash<qint64, RootJoints>> JointsPerRoot();

    // Reviews (LibraryReviews.cpp). Whether the reviews file holds any yet.
    bool HasReviews() const { return m_bReviews; }
    // Each reviewed joint's review: its latest change.
    std::optional<std::vector<JointReview>> CurrentReviews();
    // Every change, oldest first; of one joint when `joint` names one.
    std::optional<std::vector<JointReview>> ReviewHistory(const JointReview* joint = nullptr);
    enum class ReviewOutcome { Done, Refused, Failed };
    // Adds `change` (joint, state, reviewer, comment, inspections and what
    // was seen) as the next revision after `change.revision` and
    // `change.from`, the review it was made on. Refused, with the review
    // as it is now in `current`, when that is no longer the joint's
    // latest; `change` gets its revision, time, user and host when done.
    ReviewOutcome AddReview(JointReview& change, JointReview& current);

private:
    bool Exec(const QString& sql);
    // The statement prepared once per connection, its values bound, run;
    // null with the failure recorded (`what`) when it fails. Read its rows
    // to the end, or finish() it, before control returns to the loop.
    QSqlQuery* Run(const QString& sql, const QVariantList& values, const QString& what);
    bool Fail(const QString& what, const QString& error);
    bool FailQuery(const QString& what, const QSqlError& error);
    bool CreateSchema();
    bool AttachReviews(Mode mode);
    OpenResult OpenSqlite(Mode mode);
    OpenResult OpenServer(Mode mode);
    OpenResult InitServer(bool upgrade);
    void CloseConnection();
    bool LatestReview(const JointReview& joint, JointReview& latest);
    // The host whose state of `kind` roots is kept: this one, or the
    // office's ("") for named roots.
    QString HostOf(RootKind kind) const;
    QString HereCondition(QVariantList& values) const;
    std::optional<std::vector<JointRow>> ReadJoints(const JointFilter& filter);

    LibraryLocation m_location;
    QString m_requested;
    QString m_path;
    QString m_reviewsPath;
    QString m_name;
    int m_nBusyMs;
    QString m_message;
    QString m_host;
    const CSqlDialect& m_dialect;
    QSqlDatabase m_db;
    QHash<QString, QSqlQuery*> m_statements;
    QHash<qint64, DeskRoot> m_desk;
    bool m_bScanLock = false;
    bool m_bLost = false;
    bool m_bReviews = false;  // the reviews' tables are there
    QString m_reviewsBlocked; // why reviews cannot be written, where that is known
};

// A file's key inside its root: its path as bytes, and for a named root
// (one share seen by several desks, whose mounts may spell names in other
// Unicode forms) its text in NFC.
QByteArray FileKey(const QByteArray& relPath, RootKind kind);

// The user's folder for reviews of indexes asked for on network file
// systems.
QString DurableReviewsFolder();

// Makes init-database stop at `version` (0: the newest), so that a test
// has an older server library to upgrade.
void SetInitVersionForTests(int version);
