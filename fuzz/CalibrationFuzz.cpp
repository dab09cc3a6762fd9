// The calibration archive reader and the calibration report on any bytes:
// no length may be trusted past the data, and the report's value extraction
// may read nothing outside the session log.

#include "calibration/CalibRecord.h"
#include "calibration/CalibReport.h"

#include <QBuffer>
#include <QByteArray>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    CCalibRecord record;
    qsizetype sum = 0;
    if (ReadCalibRecord(buffer, record) == CalibReadResult::Ok)
        sum += BuildCalibReport(record).size();
    // The same bytes as a session log, whatever the archive made of them.
    record.m_strSessionLog = QString::fromLatin1(bytes);
    sum += BuildCalibReport(record).size();
    return sum == -1 ? 1 : 0;
}
