#pragma once
// The joint setup record: everything the operator enters for one joint, kept
// as named values under the settings key "Log Data" so that the last joint's
// setup is the starting point of the next. There is deliberately no structure
// mirroring it: every reader takes the value from the store when it needs it,
// so a page sees what the page before it wrote.

#include <QString>
#include <QStringList>

// Value names. Texts read as empty when absent unless noted; integers as 0.
namespace LogData {
// Operator and job (texts of at most 20 characters), joint number 1..99999.
inline const QString kEmployeeId = QStringLiteral("Employee ID");
inline const QString kJobNumber = QStringLiteral("Job Number");
inline const QString kJointNumber = QStringLiteral("Joint Number"); // absent: 1
// Machine.
inline const QString kMachineId = QStringLiteral("Machine ID");
inline const QString kMachineModelInx = QStringLiteral("Machine Model Inx");
inline const QString kMachineModelText = QStringLiteral("Machine Model Text");
inline const QString kPistonArea = QStringLiteral("Piston Area");
inline const QString kPistonAreaUnit = QStringLiteral("Piston Area Unit");
inline const QString kDoSidewallFusion = QStringLiteral("Do Sidewall Fusion");
// Pipe.
inline const QString kPipeMaterialInx = QStringLiteral("Pipe Material Inx");
inline const QString kPipeMaterialText = QStringLiteral("Pipe Material Text");
inline const QString kPipeSize = QStringLiteral("Pipe Size");
inline const QString kPipeSizeUnit = QStringLiteral("Pipe Size Unit");
inline const QString kWallThickness = QStringLiteral("Wall Thickness");
inline const QString kWallThicknessUnit = QStringLiteral("Wall Thickness Unit");
inline const QString kPipeAreaInch = QStringLiteral("Pipe Area (inch)");
inline const QString kHeatIfp = QStringLiteral("Heat IFP");
inline const QString kSoakIfp = QStringLiteral("Soak IFP");
inline const QString kFuseIfp = QStringLiteral("Fuse IFP");
inline const QString kCoolIfp = QStringLiteral("Cool IFP");
inline const QString kPipeAreaSw = QStringLiteral("Pipe Area (SW)");
inline const QString kPipeAreaSwUnitInx = QStringLiteral("Pipe Area (SW) Unit Inx");
// Fitting and sidewall fusion. "Hold" and "Diamensions" are the names stored
// by every handheld in the field, so they are kept as they are.
inline const QString kFittingType = QStringLiteral("Fitting Type");
inline const QString kFittingMainSize = QStringLiteral("Fitting Main Size");
inline const QString kFittingMainUnit = QStringLiteral("Fitting Main Unit");
inline const QString kFittingOutletSize = QStringLiteral("Fitting Outlet Size");
inline const QString kFittingOutletUnit = QStringLiteral("Fitting Outlet Unit");
inline const QString kFittingForceOrCalc = QStringLiteral("Fitting Force or Calc Selection");
inline const QString kFittingBaseType = QStringLiteral("Fitting Base Type");
inline const QString kRecBeadForceOrIfp = QStringLiteral("Rec. Bead Force or IFP");
inline const QString kRecSoakForceOrIfp = QStringLiteral("Rec. Soak Force or IFP");
inline const QString kRecFuseForceOrIfp = QStringLiteral("Rec. Fuse Force or IFP");
inline const QString kFittingHeatPressure = QStringLiteral("Fitting Heat Pressure");
inline const QString kFittingFusePressure = QStringLiteral("Fitting Fuse Pressure");
inline const QString kFittingOd = QStringLiteral("Fitting OD");
inline const QString kFittingWallThickness = QStringLiteral("Fitting Wall Thickness");
inline const QString kFittingBaseHoleDiameter = QStringLiteral("Fitting Base Hold Diameter");
inline const QString kFittingBaseLength = QStringLiteral("Fitting Base Length");
inline const QString kFittingBaseWidth = QStringLiteral("Fitting Base Width");
inline const QString kFittingDimensionsUnit = QStringLiteral("Fitting Diamensions Unit");
// Closing pages and results.
inline const QString kDragPressure = QStringLiteral("Drag Pressure");
inline const QString kRecHeat = QStringLiteral("Rec Heat");
inline const QString kRecSoak = QStringLiteral("Rec Soak");
inline const QString kRecFuse = QStringLiteral("Rec Fuse");
inline const QString kRecCool = QStringLiteral("Rec Cool");
inline const QString kHtrTemp = QStringLiteral("Htr Temp");
inline const QString kExtHtrTemp = QStringLiteral("Ext Htr Temp");
inline const QString kNotes = QStringLiteral("Notes");
inline const QString kGps = QStringLiteral("GPS");
inline const QString kParameterEntered = QStringLiteral("Parameter Entered");
} // namespace LogData

// Single values of the record.
QString ReadLogText(const QString& name, const QString& defaultValue = QString());
int ReadLogInt(const QString& name, int defaultValue = 0);
void WriteLogText(const QString& name, const QString& value);
void WriteLogInt(const QString& name, int value);

// The indices that select a list entry, with values out of range read as 0 so
// that a damaged store never selects past the end of a list.
int ReadMachineModelInx();   // 0..67
int ReadPipeMaterialInx();   // 0..20
int ReadPipeAreaSwUnitInx(); // 0 in², 1 cm²

// The joint number after a downloaded joint: one more than "Joint Number",
// but never past 65535, the most the joint information record can carry.
int NextJointNumber();

// What a page stores for an operator's text: trimmed, "--" when empty, so a
// cleared field is told apart from one never filled in.
QString TrimOrDash(const QString& text);

// Fills g_strPipeMaterials (20 names and an empty entry; the lists add
// "Unlisted" from the string table) and g_strFittingSizeUnits. Run once at
// start-up.
void LoadJointSetupLists();

// Texts of the integer encodings; an index out of range gives the first
// entry, as every reader of the record treats it.
QStringList PipeSizeUnitTexts();      // "\" IPS" .. "mm JIS"
QStringList WallThicknessUnitTexts(); // "DR", "\" WT", "mm WT"
QStringList AreaUnitTexts();          // "in²", "cm²"
QString PipeSizeUnitText(int index);
QString WallThicknessUnitText(int index);
QString AreaUnitText(int index);
