#pragma once
// Where joint reports are kept: the report folder below the device root and
// the backup folder on the storage card.

#include <QString>

// "<root>/Joint Reports".
QString ReportFolder();

// Creates the report folder when it is missing; false, after telling the
// operator, when it cannot be made.
bool EnsureReportFolder();

// Finds the storage card and makes sure its "Joint Reports" folder exists,
// setting g_strBackupFolder; false, after telling the operator, when there is
// no card or the folder cannot be made. With the vendor library present no
// backup is made and this answers true.
bool EnsureBackupFolder();

// A text from the Vantrek made safe as part of a file name: characters that
// a file system refuses or that separate folders become "_". Texts that are
// already safe come back unchanged.
QString SafeFileNamePart(const QString& text);
