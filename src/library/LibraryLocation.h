#pragma once
// Where the library's index lives: an SQLite file (one PC), or a database on
// a PostgreSQL server (an office). A server is named by a URL,
//   postgresql://[user@]host[:port]/dbname
//   postgresql:///dbname                  the local server's default socket
//   postgresql://%2Frun%2Fpostgresql/dbname, or ...?host=/run/postgresql
// and anything else is an SQLite file. A password is never taken from the
// URL (it would stand in a shell's history, a process list or the settings
// file): the server's password file (~/.pgpass, $PGPASSFILE) and the PG*
// environment are what the PostgreSQL client library honours anyway.

#include <QString>
#include <QStringList>

struct LibraryLocation {
    bool server = false;
    QString path; // the SQLite file, absolute
    // The server's: empty or 0 where the client library's defaults apply.
    QString host; // a name, an address, or a socket folder ("/run/postgresql")
    int port = 0;
    QString user;
    QString database;
    QStringList options; // "key=value", for the client library
    QString error;       // why the text names no store that can be used

    // The location as people read it, with nothing secret in it.
    QString Display() const;
};

bool IsServerUrl(const QString& text);
LibraryLocation ParseLibraryLocation(const QString& text);

// The index the library uses: `given` (--database), else $VTQ_LIBRARY_DB,
// else [Library] Database in the settings file, else the user's data
// folder's SQLite file. Reads the settings: call it where they are read.
QString ChosenLibraryDatabase(const QString& given = QString());

// The user's data folder's index (XDG): the only path whose damaged file
// is set aside even without the index's mark.
QString StandardLibraryDatabase();
