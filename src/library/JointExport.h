#pragma once
// "Export PDFs": the printed page of each joint with its procedure check,
// and "Check...": the procedure check of one joint, each by the joint's own
// procedure and the office's machine list (VerdictBook.h). Both read the
// joint's report from a copy whose bytes are still those the library
// indexed (its SHA-256), the current version's copies first; a file changed
// since is not taken for the joint. Both read files: never on the window's
// thread.

#include "library/LibraryStore.h"

#include <QStringList>
#include <atomic>
#include <vector>

class CVtkDoc;

// Loads into `doc` the first copy of the joint whose bytes are still the
// version the index read (the current version's copies first): its path as
// text, or empty with the failure said ("what: why"). `cut`: those bytes
// were read from a cut download (this copy's name, or the index's word for
// the current version's bytes under any name).
QString LoadIndexedCopy(CVtkDoc& doc, const JointRow& row, QString& failure, bool& cut);

struct PdfExport {
    QStringList written;  // the PDFs made
    QStringList failures; // "what: why", one a joint that was not exported
};

class CVerdictBook;

// Writes into `folder`, named like each joint's report, the printed page
// and then the check pages; a name already there (from before, or from
// another joint of the same name) is never written over: the next free
// "name (N).pdf" is taken. A joint whose procedure cannot be had is
// exported with a check page that says so, and listed in `failures`.
PdfExport ExportJointPdfs(const std::vector<JointRow>& rows, const QString& folder,
                          const CVerdictBook& verdicts, const std::atomic<bool>* cancel = nullptr);

struct JointCheck {
    QString file;      // the file checked
    QStringList lines; // as vtq-report check prints them, the verdict last
    QString failure;   // "what: why" when no file could be checked
};

// The check of the joint by the procedure for its job; a failure, with the
// reason, when that procedure cannot be had.
JointCheck CheckJoint(const JointRow& row, const CVerdictBook& verdicts);
