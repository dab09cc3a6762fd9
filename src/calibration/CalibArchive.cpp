#include "calibration/CalibArchive.h"

#include "calibration/CalibSummaryDlg.h"
#include "framework/Format.h"
#include "framework/Modal.h"
#include "framework/SettingsStore.h"
#include "framework/Strings.h"
#include "platform/Clock.h"
#include "platform/DeviceRoot.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "platform/OemInfo.h"
#include "platform/Power.h"
#include "platform/RegularFile.h"
#include "platform/WholeFile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const QString kProgramVersion = QStringLiteral("VTQPv0.2.5");
const QString kDash = QStringLiteral("---");

QString DateTimeText(const QDateTime& t) {
    const QDate d = t.date();
    const QTime h = t.time();
    return QString::asprintf("%04d/%02d/%02d  %02d:%02d:%02d", d.year(), d.month(), d.day(),
                             h.hour(), h.minute(), h.second());
}

QString Calibration(const char* name) {
    return ReadSettingText(kKeyCalibration, QString::fromLatin1(name), kDash);
}

QString Shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}
} // namespace

QString CalibrationFolder() {
    return DevicePath(QStringLiteral("\\Calibration"));
}

QString CalibArchivePath(const QString& serial, const QDateTime& when) {
    // A serial number edited into the store by hand must not lead the file
    // out of its folder.
    QString name = serial.left(9);
    for (QChar& c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20)
            c = QLatin1Char('_');
    const QDate d = when.date();
    const QTime t = when.time();
    return CalibrationFolder() + QLatin1Char('/') + name +
           QString::asprintf(" %04d-%02d-%02d at %02d-%02d-%02d.kdc", d.year(), d.month(), d.day(),
                             t.hour(), t.minute(), t.second());
}

QString HandheldIdentification() {
    const QString suffix = QStringLiteral(" (") + kProgramVersion + QLatin1Char(')');
    QString text;
    if (!AwcLibraryPresent())
        return GetOemInfo(text) ? text + suffix : kDash;
    if (!AwcGetSerialNumber(text))
        return kDash;
    return text + QStringLiteral(" (Recon%1)").arg(AwcGetProductOSRevision() >> 24) + suffix;
}

void WriteCalibrationArchive(const QString& serial, const QString& sessionLog, bool& written) {
    if (written)
        return;
    CCalibRecord rec;
    rec.m_strSignature = kCalibSignature;
    rec.m_nVersion = kCalibVersion;
    rec.m_strDateTime = DateTimeText(CurrentLocalTime());
    rec.m_strVantrekSerial = serial;
    rec.m_strSessionLog = sessionLog;
    rec.m_strTechnician = Calibration("Technician");
    rec.m_strCompany = Calibration("Company");
    rec.m_strPyroModel = Calibration("Pyrometer Model");
    rec.m_strPyroSerial = Calibration("Pyrometer Serial");
    rec.m_strPyroCert = Calibration("Pyrometer Cert");
    rec.m_strPyroExpire = Calibration("Pyrometer Expiration");
    rec.m_strPressModel = Calibration("Press Calib Model");
    rec.m_strPressSerial = Calibration("Press Calib Serial");
    rec.m_strPressCert = Calibration("Press Calib Cert");
    rec.m_strPressExpire = Calibration("Press Calib Expire");
    rec.m_strVantrekModel = QStringLiteral("TK208M");
    rec.m_strHandheldId = HandheldIdentification();
    rec.m_strXdcrSerial = Calibration("Xdcr Serial Number");

    const QString folder = CalibrationFolder();
    if (!QFileInfo(folder).isDir() && !(QDir().mkpath(folder) && QFileInfo(folder).isDir())) {
        MessageBox(Format(LoadString(IDS_CANNOT_CREATE_FOLDER), {Shown(folder)}), QString(),
                   MB_OK | MB_ICONERROR);
        return;
    }
    const QString path = CalibArchivePath(serial, CurrentLocalTime());
    QBuffer archive;
    if (!archive.open(QIODevice::WriteOnly) || !WriteCalibRecord(archive, rec)) {
        MessageBox(QStringLiteral("Could not create data archive!"), QString(),
                   MB_OK | MB_ICONERROR);
        return;
    }
    // Written beside its place and renamed over it only when whole, so that
    // a crash or a full disk never leaves a cut-off archive.
    if (!WriteWholeFile(path, archive.data())) {
        MessageBox(QStringLiteral("Could not open file '%1'").arg(Shown(path)), QString(),
                   MB_OK | MB_ICONERROR);
        return;
    }
    written = true;
}

bool LoadCalibArchive(const QString& path, CCalibRecord& record, CalibFileError& error) {
    // Only a regular file: a named pipe would block, a device never ends.
    QFile file;
    if (!OpenRegularFile(file, path)) {
        error = {QStringLiteral("Could not open file '%1'").arg(Shown(path)), QString()};
        return false;
    }
    switch (ReadCalibRecord(file, record)) {
    case CalibReadResult::Ok:
        return true;
    case CalibReadResult::NotCalibration:
        error = {QStringLiteral("Not a Kelvorn VTQ calibration data file!"),
                 QStringLiteral("File Error")};
        return false;
    case CalibReadResult::Unreadable:
        break;
    }
    error = {QStringLiteral("Could not read data archive!"), QString()};
    return false;
}

void ViewCalibrationData() {
    const QString path = PromptOpenFile(LoadString(IDS_CALIBRATION_FILTER), CalibrationFolder());
    if (path.isEmpty())
        return;
    CCalibRecord record;
    CalibFileError error;
    if (!LoadCalibArchive(path, record, error)) {
        MessageBox(error.text, error.caption, MB_OK | MB_ICONERROR);
        return;
    }
    CCalibSummaryDlg dlg(nullptr, record);
    RunModal(dlg);
}
