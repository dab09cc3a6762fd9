#include "library/JointIndex.h"

#include "check/ProcedureCheck.h"
#include "library/VerdictBook.h"
#include "report/DownloadName.h"
#include "report/JointSummary.h"
#include "report/ReportText.h"
#include "report/VtkDoc.h"
#include "setup/JointRecord.h"

#include <QDate>
#include <QTime>

JointFields JointFieldsOf(const CVtkDoc& doc, const QString& path, const CVerdictBook* verdicts,
                          bool cut) {
    const auto text = [&](ReportField f) { return doc.Field(f).text; };
    const auto number = [&](ReportField f) { return doc.Field(f).number; };
    JointFields j;
    // A report's date is whatever the Vantrek sent; the text keeps it even
    // when it is no real date, and still sorts by year, month, day.
    j.dateTime =
        QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", number(RF_YEAR), number(RF_MONTH),
                          number(RF_DAY), number(RF_HOUR), number(RF_MINUTE), number(RF_SECOND));
    j.jointNumber = number(RF_JOINT_NUMBER);
    j.job = text(RF_JOB_NUMBER);
    j.employee = text(RF_EMPLOYEE_ID);
    j.machineId = text(RF_MACHINE_ID);
    j.model = text(RF_MODEL_TEXT);
    j.material = text(RF_MATERIAL_TEXT);
    if (IsReportTarvex(j.model) || IsReportSidewall(j.model))
        j.sizeText = text(RF_PIPE_SIZE) + QStringLiteral(", ") + text(RF_WALL_THICKNESS);
    else
        j.sizeText =
            PipeSizeText(text(RF_PIPE_SIZE), PipeSizeUnitText(number(RF_PIPE_SIZE_UNIT)),
                         text(RF_WALL_THICKNESS), WallThicknessUnitText(number(RF_WALL_UNIT)));
    j.heaterTemp = text(RF_HTR_TEMP);
    j.samples = int(doc.SamplesInFile());
    j.durationSeconds = doc.SampleCount() > 0 ? doc.TimeAt(doc.SampleCount() - 1) * 0.2 : 0.0;
    j.maxPressurePsi = doc.m_nMaxPressure;
    j.pressUnit = doc.PressUnit();
    j.demo = doc.DemoFlag() != 0;
    j.notes = doc.NotesText();
    j.cut = cut || IsCutDownloadName(path);
    // The check reads the samples as recorded, not as the view smooths
    // them, so the verdict is the one vtq-report check gives, prepared or
    // not.
    (verdicts ? *verdicts : CVerdictBook::Shipped()).JudgeInto(doc, path, j.cut, j);
    return j;
}
