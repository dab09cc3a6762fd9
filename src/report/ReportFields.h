#pragma once
// The fields of the three joint records as a joint report file keeps them:
// the joint information, the notes and the reserve data, back to back. Each
// field is a number (one 16-bit word) or a text (a count word and that many
// characters).

#include <QString>
#include <array>

enum ReportField : int {
    // Joint information.
    RF_YEAR,
    RF_MONTH,
    RF_DAY,
    RF_HOUR,
    RF_MINUTE,
    RF_SECOND,
    RF_MACHINE_ID,
    RF_MODEL_INX,
    RF_MODEL_TEXT,
    RF_PISTON_AREA,
    RF_PISTON_AREA_UNIT,
    RF_EMPLOYEE_ID,
    RF_JOB_NUMBER,
    RF_JOINT_NUMBER,
    RF_MATERIAL_INX,
    RF_MATERIAL_TEXT,
    RF_PIPE_SIZE, // or the fitting type name
    RF_PIPE_SIZE_UNIT,
    RF_WALL_THICKNESS, // or the fitting size text
    RF_WALL_UNIT,
    RF_PRESSURE_1,
    RF_PRESSURE_2,
    RF_PRESSURE_3,
    RF_PRESSURE_4,
    RF_PRESS_UNIT,
    RF_DRAG_PRESSURE,
    RF_REC_HEAT,
    RF_REC_SOAK,
    RF_REC_FUSE,
    RF_REC_COOL,
    RF_TEMP_UNIT,
    RF_EXT_HTR_TEMP,
    RF_HTR_TEMP,
    // Notes.
    RF_NOTES_MARK_1,
    RF_GPS,
    RF_NOTES_MARK_2,
    RF_NOTES,
    // Reserve data.
    RF_DEMO_MODE,
    RF_VERSION_ID,
    RF_PIPE_AREA,
    RF_COUNT
};

struct ReportFieldInfo {
    const char* name; // as vtq-report names it
    bool text;
};

extern const std::array<ReportFieldInfo, RF_COUNT> kReportFields;

// A field as read: the number of a number field, the text of a text field
// ("---" for an empty one).
struct ReportValue {
    int number = 0;
    QString text;
};
