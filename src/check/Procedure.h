#pragma once
// A fusion procedure as data: the ranges and times a logged butt-fusion joint
// is checked against. Read from an INI file a person can change; the default
// one ships with the program.

#include <QString>
#include <vector>

struct RemovalStep {
    double upToWallInches = 0;
    double maximumSeconds = 0;
};

struct Procedure {
    QString name;
    double heaterMinF = 0;
    double heaterMaxF = 0;
    double interfacialMinPsi = 0;
    double interfacialMaxPsi = 0;
    double tolerancePercent = 0;
    // From the thinnest wall up.
    std::vector<RemovalStep> heaterRemoval;
    double coolingMinutesPerInch = 0;

    // The longest heater removal for a wall, or a negative value for a wall
    // beyond the last step.
    double MaxRemovalSeconds(double wallInches) const;
};

// Reads the procedure in `path`. A file that cannot be read, or a value that
// is missing or not a usable number, is refused: false, and `error` says
// which value (as "Group/Key") and what is wrong with it.
bool LoadProcedure(const QString& path, Procedure& procedure, QString& error);

// Where the shipped procedure lives inside the program, and the procedure
// itself. The shipped file is tested, so reading it cannot fail.
QString DefaultProcedurePath();
const Procedure& DefaultProcedure();
