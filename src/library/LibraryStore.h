#pragma once
// The library's index: which joint reports lie in which folders. It is a
// cache of the reports themselves, rebuilt from them at will; what people
// decide about joints (reviews) lives apart from it, in a file of its own
// that is never set aside, cascaded away or dropped with orphans.
//
// The SQL is written once against the store's dialect (SqlDialect.h); the
// file handling of an SQLite index (a foreign file refused, only our own
// damaged index set aside, a network folder avoided, WAL checked) is in
// SqliteIndexFile.h. Each thread opens its own CLibraryStore (a Qt SQL
// connection stays in the thread that made it). Readers open it read-only
// and take no lock; writers (a scan, forget-missing, a folder change) hold
// the scan lock (ScanLock.h) around their work.
//
// The model:
// - A root is a folder of reports of one kind: `path` (known by its path),
//   `volume` (a folder on a file system known by its UUID: a card, wherever
//   it is mounted) or `named` (a name an office gives, mapped per desk).
//   Each host keeps its own state of it: where it is, reachable or offline
//   with a reason, suspect.
// - A joint is (machine ID, date and time, joint number). A version is one
//   content of its report, known by its SHA-256: copies, appended notes, a
//   cut download and its whole copy are versions of one joint.
// - A file is a path below a root (bytes, plus a display text) holding one
//   version, or unreadable with a reason.

#include "library/SqlDialect.h"

#include <QByteArray>
#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

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
};

// A file of a root as the index knows it.
struct IndexedFile {
    qint64 id = 0;
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
    // a verdict was made with.
    static constexpr int kSchemaVersion = 4;
    // Stored in the database header; a database without it is not ours.
    static constexpr qint64 kApplicationId = 0x4b4a524c; // "KJRL"
    // The reviews file's: never taken for the index.
    static constexpr qint64 kReviewsApplicationId = 0x4b4a5256; // "KJRV"
    static constexpr int kReviewsSchemaVersion = 1;

    enum class Mode { Read, Write };
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

    // `busyMs`: how long a statement waits for another connection's write.
    explicit CLibraryStore(QString path, int busyMs = 250);
    ~CLibraryStore();
    CLibraryStore(const CLibraryStore&) = delete;
    CLibraryStore& operator=(const CLibraryStore&) = delete;

    OpenResult Open(Mode mode);
    // What happened on opening, or why the last call failed.
    const QString& Message() const { return m_message; }
    // The file used: the one asked for, or the local one that stands in
    // for an index asked for on a network file system.
    const QString& Path() const { return m_path; }
    const CSqlDialect& Dialect() const { return m_dialect; }
    bool IsOpen() const { return m_db.isOpen(); }

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
    bool SetRootState(const LibraryRoot& root);
    // Removes roots with their files (never anything of the reviews).
    bool RemoveRoots(const std::vector<qint64>& ids);

    // Files of one root, by their path inside it.
    std::optional<QHash<QByteArray, IndexedFile>> FilesOfRoot(qint64 rootId);
    // One file of a root by its path inside it; an id of 0 when the index
    // has none there.
    std::optional<IndexedFile> FileOfRoot(qint64 rootId, const QByteArray& relPath);
    // Adds or replaces the file's row, as seen now.
    bool PutFile(qint64 rootId, const QByteArray& relPath, const QString& text, qint64 size,
                 qint64 mtimeMs, qint64 versionId, const QString& reason);
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

    std::optional<std::vector<JointRow>> Joints();
    // The joints of each root (by its id), for the Folders dialog.
    std::optional<QHash<qint64, RootJoints>> JointsPerRoot();

private:
    bool Exec(const QString& sql);
    bool Fail(const QString& what, const QString& error);
    bool CreateSchema();
    bool Upgrade(int from);
    bool AttachReviews(Mode mode);
    void CloseConnection();

    QString m_requested;
    QString m_path;
    QString m_name;
    int m_nBusyMs;
    QString m_message;
    QString m_host;
    const CSqlDialect& m_dialect;
    QSqlDatabase m_db;
};

// The database the library uses unless told otherwise: $VTQ_LIBRARY_DB, else
// the one in the user's data folder, never beside the reports.
QString DefaultLibraryDatabase();
// The user's data folder's index (XDG): the only path whose damaged file
// is set aside even without the index's mark.
QString StandardLibraryDatabase();
// Where the reviews of the index at `indexPath` are kept.
QString ReviewsDatabase(const QString& indexPath);
