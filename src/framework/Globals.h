#pragma once
// The process-wide state that several windows share. Everything else lives in
// the window or function that owns it.

#include <QString>
#include <QStringList>

// Report state: the report the main view shows, whether it must be reloaded,
// the front-end search range, and the storage card's backup folder.
extern QString g_strReportPath;
extern bool g_bReportChanged;
extern int g_nSearchPercent;
extern QString g_strBackupFolder;

// Unit state, set by LoadUnitSettings: until then psi and °F with empty texts.
extern int g_nPressUnit;
extern QString g_strPressUnit;
extern int g_nTempUnit;
extern QString g_strTempUnit;

// Lists of the joint setup record, and the current machine model text.
extern QStringList g_strPipeMaterials;
extern QStringList g_strFittingTypes;
extern QStringList g_strFittingSizeUnits;
extern QString g_strMachineModel;

// Index of the serial port in use (0 is COM1).
extern int g_nCurPort;

// Puts every variable above back to its start-up value.
void ResetGlobals();
