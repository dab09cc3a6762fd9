#pragma once
// The office's own list of its fusion machines: Machine ID, model, total
// effective piston area and last calibration. A wrong machine chosen in the
// setup wizard leaves no trace in the report itself (it holds the wrong
// model and area); the list is what the check can hold a report against.

#include <QDate>
#include <QString>
#include <vector>

struct MachineEntry {
    QString machineId;
    QString model;
    double pistonAreaSqIn = 0;
    QDate calibrated; // invalid when the list gives none
};

struct MachineRegistry {
    std::vector<MachineEntry> machines;

    // The entry for a Machine ID, compared trimmed and without regard to
    // case; null when the machine is not listed.
    const MachineEntry* Find(const QString& machineId) const;
};

// Reads the list, one machine a line, fields separated by ';':
//   Machine ID; model; piston area [in² | cm²]; last calibration (YYYY-MM-DD)
// The calibration may be left out; the area's unit is in² unless "cm²"
// follows it. Blank lines and lines that begin with '#' are skipped. False,
// with the line's number and what is wrong in `error`, for a malformed line
// or a Machine ID listed twice.
bool ReadMachineRegistry(const QString& text, MachineRegistry& registry, QString& error);
