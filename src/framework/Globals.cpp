#include "framework/Globals.h"

QString g_strReportPath;
bool g_bReportChanged = false;
int g_nSearchPercent = 100;
QString g_strBackupFolder;

int g_nPressUnit = 0;
QString g_strPressUnit;
int g_nTempUnit = 0;
QString g_strTempUnit;

QStringList g_strPipeMaterials;
QStringList g_strFittingTypes;
QStringList g_strFittingSizeUnits;
QString g_strMachineModel;

int g_nCurPort = 0;

void ResetGlobals() {
    g_strReportPath.clear();
    g_bReportChanged = false;
    g_nSearchPercent = 100;
    g_strBackupFolder.clear();
    g_nPressUnit = 0;
    g_strPressUnit.clear();
    g_nTempUnit = 0;
    g_strTempUnit.clear();
    g_strPipeMaterials.clear();
    g_strFittingTypes.clear();
    g_strFittingSizeUnits.clear();
    g_strMachineModel.clear();
    g_nCurPort = 0;
}
