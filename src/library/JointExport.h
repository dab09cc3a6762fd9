#pragma once
// "Export PDFs": the printed page of each joint, from the first of its files
// that can still be read, named like that report; and "Check...": the
// procedure check of one joint, read the same way. Both read files: never on
// the window's thread.

#include "library/LibraryStore.h"

#include <QStringList>
#include <vector>

struct PdfExport {
    QStringList written;  // the PDFs made
    QStringList failures; // "what: why", one a joint that was not exported
};

PdfExport ExportJointPdfs(const std::vector<JointRow>& rows, const QString& folder);

struct JointCheck {
    QString file;      // the file checked
    QStringList lines; // as vtq-report check prints them, the verdict last
    QString failure;   // "what: why" when no file could be checked
};

// The check of the joint against the shipped procedure.
JointCheck CheckJoint(const JointRow& row);
