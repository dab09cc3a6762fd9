#pragma once
// "Export PDFs": the printed page of each joint, and "Check...": the
// procedure check of one joint. Both read the joint's report from a copy
// whose bytes are still those the library indexed (its SHA-256), the
// current version's copies first; a file changed since is not taken for
// the joint. Both read files: never on the window's thread.

#include "library/LibraryStore.h"

#include <QStringList>
#include <atomic>
#include <vector>

class CVtkDoc;

// Loads into `doc` the first copy of the joint whose bytes are still the
// version the index read (the current version's copies first): its path as
// text, or empty with the failure said ("what: why").
QString LoadIndexedCopy(CVtkDoc& doc, const JointRow& row, QString& failure);

struct PdfExport {
    QStringList written;  // the PDFs made
    QStringList failures; // "what: why", one a joint that was not exported
};

// Writes into `folder`, named like each joint's report; a name already
// there (from before, or from another joint of the same name) is never
// written over: the next free "name (N).pdf" is taken.
PdfExport ExportJointPdfs(const std::vector<JointRow>& rows, const QString& folder,
                          const std::atomic<bool>* cancel = nullptr);

struct JointCheck {
    QString file;      // the file checked
    QStringList lines; // as vtq-report check prints them, the verdict last
    QString failure;   // "what: why" when no file could be checked
};

// The check of the joint against the shipped procedure.
JointCheck CheckJoint(const JointRow& row);
