#pragma once
// The library's index: one SQLite database (Qt SQL) on local disk that says
// which joint reports lie in which folders. It is a cache of the reports
// themselves: a damaged or foreign file is set aside and built again by the
// next scan. Each thread opens its own CLibraryStore (a Qt SQL connection
// must stay in the thread that made it); the scanner is the only writer.

#include <QByteArray>
#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
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
    QString verdict; // the procedure check's verdict; empty until it is computed
};

// One row of the library's table: a joint (a report found in one or more
// files), or a file that could not be read as a report.
struct JointRow {
    qint64 id = 0;     // the report's id, or minus the unreadable file's id
    QString status;    // "present", "missing", "offline" or "unreadable"
    QStringList files; // every place the joint was found, full paths
    QString reason;    // why an unreadable file could not be read
    JointFields fields;
};

// A root folder as the index knows it.
struct LibraryRoot {
    qint64 id = 0;
    QString path;
    bool reachable = true;
    bool mounted = false; // on a file system of its own when last reachable
};

// A file of a root as the index knows it, by its path inside the root.
struct IndexedFile {
    qint64 id = 0;
    qint64 size = 0;
    qint64 mtimeMs = 0;
    qint64 reportId = 0; // 0: unreadable
    bool missing = false;
};

class CLibraryStore {
public:
    static constexpr int kSchemaVersion = 2;
    // Stored in the database header; a database without it is not ours.
    static constexpr int kApplicationId = 0x4b4a524c; // "KJRL"

    enum class OpenResult { Ok, Rebuilt, TooNew, Failed };

    // `busyMs`: how long a statement waits for another connection's write
    // before it fails; short for the window, longer for the scanner.
    explicit CLibraryStore(QString path, int busyMs = 250);
    ~CLibraryStore();
    CLibraryStore(const CLibraryStore&) = delete;
    CLibraryStore& operator=(const CLibraryStore&) = delete;

    // Opens the database, creating it or bringing its schema up to date.
    // A file that is damaged or not ours is renamed aside and a new one made
    // (Rebuilt); one from a newer program is left alone (TooNew). Message()
    // says what happened.
    OpenResult Open();
    const QString& Message() const { return m_message; }
    const QString& Path() const { return m_path; }

    bool Begin();
    bool Commit();
    void Rollback();

    // Roots.
    qint64 AddRoot(const QString& path); // existing or new; 0 on failure
    std::vector<LibraryRoot> Roots();
    bool SetRootState(qint64 rootId, bool reachable, bool mounted);
    bool RemoveRoot(const QString& path);

    // Files of one root, by path inside the root.
    QHash<QString, IndexedFile> FilesOfRoot(qint64 rootId);
    // Adds or replaces the file's row, as present.
    bool PutFile(qint64 rootId, const QString& relPath, qint64 size, qint64 mtimeMs,
                 qint64 reportId, const QString& reason);
    bool SetFileMissing(qint64 fileId, bool missing);
    // The report with these bytes' hash, added when new; 0 on failure.
    qint64 PutReport(const QByteArray& sha256, qint64 size, const JointFields& fields);
    // Reports no file points at any more (their file now holds another).
    bool DropOrphanReports();
    // Removes every missing file of a reachable root and the joints left
    // without a file; the number of joints and files removed.
    int ForgetMissing();

    std::vector<JointRow> Joints();

private:
    bool Exec(const QString& sql);
    bool OpenConnection();
    void CloseConnection();
    bool SetAside(const QString& why);
    bool Migrate(int from);

    QString m_path;
    QString m_name;
    int m_nBusyMs;
    QString m_message;
    QSqlDatabase m_db;
};

// The database the library uses unless told otherwise: in the user's data
// folder, never beside the reports.
QString DefaultLibraryDatabase();
