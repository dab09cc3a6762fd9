#pragma once
// Opening a joint from the library: its present copy shown in the report
// viewer (vtq-ppc). A viewer that runs and is idle is handed the report
// (platform/ViewerSocket.h); else one is started. A viewer in a Log/Status
// session is never handed a report: its download owns the report it shows.
// Looks at files: never on the window's thread.

#include "library/LibraryStore.h"

#include <QString>

struct JointOpening {
    QString path; // the copy opened, or to be opened
    bool handedOver = false;
    QString program; // to start with the path when not handed over
    QString failure; // why nothing can be opened
};

// Picks the first present copy that is still a readable file there, and
// hands it to an idle viewer within `ms`; else says which program to start.
JointOpening OpenJointCopy(const JointRow& row, int ms = 2000);

// Every dropped path sorted out, on a worker: folders to add to the
// library, reports in one of its folders to read where they are, and
// reports from anywhere else copied (never moved) into `importFolder`,
// under their own name or a numbered one, and read there.
struct DropPlacing {
    QStringList folders;
    QStringList reports; // to read: in the library's folders, or copied in
    bool imported = false;
    QStringList problems; // one line each
};
DropPlacing PlaceDropped(const QStringList& paths, const QStringList& libraryFolders,
                         const QString& importFolder);
