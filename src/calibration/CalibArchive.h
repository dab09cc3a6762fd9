#pragma once
// Calibration archives (".kdc" in "\Calibration"): the writer the
// Calibration dialog calls, the reader, and the viewer that the gateway's
// "View Calibration Data" runs.

#include "calibration/CalibRecord.h"

#include <QDateTime>
#include <QString>

class QWidget;

QString CalibrationFolder();

// "<folder>/<first nine characters of the serial> yyyy-mm-dd at hh-mm-ss.kdc".
QString CalibArchivePath(const QString& serial, const QDateTime& when);

// Member 17: the handheld's serial number and OS revision through the vendor
// library when it is there, else the platform's OEM information; "---" when
// neither answers.
QString HandheldIdentification();

// Fills a record from the run and the "Calibration" values and writes it as
// a new archive, unless `written` is set already; sets `written` on success.
// Failures are shown to the operator and leave `written` clear, so that a
// later call tries again.
void WriteCalibrationArchive(const QString& serial, const QString& sessionLog, bool& written);

// Reads the archive at `path`. On failure returns the message the operator is
// shown, with its caption (empty: the program's name).
struct CalibFileError {
    QString text;
    QString caption;
};
bool LoadCalibArchive(const QString& path, CCalibRecord& record, CalibFileError& error);

// Asks for an archive and shows it in the Summary dialog.
void ViewCalibrationData();
