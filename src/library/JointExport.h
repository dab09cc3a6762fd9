#pragma once
// "Export PDFs": the printed page of each joint, from the first of its files
// that can still be read, named like that report. Reads and writes files:
// never on the window's thread.

#include "library/LibraryStore.h"

#include <QStringList>
#include <vector>

struct PdfExport {
    QStringList written;  // the PDFs made
    QStringList failures; // "what: why", one a joint that was not exported
};

PdfExport ExportJointPdfs(const std::vector<JointRow>& rows, const QString& folder);
