#pragma once
// A fusion procedure as data: the ranges and times a logged butt-fusion joint
// is checked against. Read from an INI file a person can change; the default
// one ships with the program, and a documented template shows every shape a
// file may take (tables by wall in inches or millimetres, steps or linear,
// factors per wall, pressures in psi or MPa, a second cooling stage).

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// psi in one MPa (one N/mm²): the figure the program's own unit table uses,
// so that a procedure in MPa and a joint entered in MPa or bar agree.
// 0.15 MPa = 1.5 bar = 21.75 psi.
constexpr double kPsiPerMPa = 145.0;

// A value that depends on the wall thickness: a factor per inch of wall, or
// a table of rows (wall, value) from the thinnest wall up, read either as
// steps (a row holds for walls up to its own and above the row before) or
// interpolated linearly between rows. Walls are in inches once read.
struct WallRule {
    struct Row {
        double wallInches = 0;
        double value = 0;
    };
    std::vector<Row> rows; // empty for a factor
    bool linear = false;
    double perInch = 0; // the factor, when there are no rows

    bool IsSet() const { return !rows.empty() || perInch > 0; }
    // The value for a wall; empty beyond the last row (a wall thinner than
    // the first row takes the first row's value).
    std::optional<double> At(double wallInches) const;
};

struct PressureRange {
    double minPsi = 0;
    double maxPsi = 0;
};

struct Procedure {
    QString name;
    double heaterMinF = 0;
    double heaterMaxF = 0;
    PressureRange interfacial; // bead-up, fusion and (single stage) cooling
    double tolerancePercent = 0;
    // The narrowest half-width a gauge pressure band may have, and the
    // gauge's own uncertainty in a level; see the shipped file.
    double noiseFloorPsi = 4;
    WallRule heaterRemovalSeconds; // longest, opening to contact
    WallRule buildUpSeconds;       // longest, contact to fusion pressure; optional
    WallRule soakSeconds;          // shortest heat soak; optional
    WallRule coolingSeconds;       // shortest time under cooling pressure
    // A second cooling stage: after at least `firstStageSeconds` at fusion
    // pressure the pressure drops to the stage's own range for the cooling
    // time.
    bool secondStage = false;
    PressureRange secondStageInterfacial;
    double firstStageSeconds = 0;
    std::optional<double> firstStageMaxSeconds;
    // A machine's calibration may be this many days old on the joint's date.
    std::optional<double> calibrationMaxDays;

    // What identifies it with a verdict: the SHA-256 of the file's bytes.
    QByteArray sha256;
};

// Reads the procedure in `path`. A file that cannot be read, or a value that
// is missing or not a usable number, is refused: false, and `error` says
// which value (as "Group/Key") and what is wrong with it.
bool LoadProcedure(const QString& path, Procedure& procedure, QString& error);

// Where the shipped procedure lives inside the program, and the procedure
// itself. The shipped file is tested, so reading it cannot fail.
QString DefaultProcedurePath();
const Procedure& DefaultProcedure();
// The documented template with every shape a procedure file may take.
QString ProcedureTemplatePath();
