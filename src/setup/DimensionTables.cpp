#include "setup/DimensionTables.h"

#include "framework/Strings.h"
#include "platform/MessageBox.h"
#include "setup/JointRecord.h"
#include "setup/NumberText.h"
#include "setup/Units.h"

#include <cmath>

namespace {
constexpr OdRow kIps[] = {
    {2, 2.375},  {2.5, 2.875}, {3, 3.5}, {3.5, 4.0}, {4, 4.5}, {5, 5.563}, {6, 6.625}, {8, 8.625},
    {10, 10.75}, {12, 12.75},  {14, 14}, {16, 16},   {18, 18}, {20, 20},   {22, 22},   {24, 24},
    {26, 26},    {28, 28},     {30, 30}, {32, 32},   {34, 34}, {36, 36},   {42, 42},   {46, 46},
    {48, 48},    {52, 52},     {54, 54}, {63, 63},   {65, 65},
};

constexpr OdRow kDips[] = {
    {3, 3.96},  {4, 4.8},   {6, 6.9},   {8, 9.05},  {10, 11.1},  {12, 13.2},
    {14, 15.3}, {16, 17.4}, {18, 19.5}, {20, 21.6}, {24, 25.8},  {30, 32.0},
    {36, 38.3}, {42, 44.5}, {48, 50.8}, {54, 57.1}, {60, 61.61}, {64, 65.64},
};

constexpr OdRow kJis[] = {
    {20, 1.06}, {25, 1.34},   {30, 1.65},   {40, 1.89},   {50, 2.36},
    {75, 3.5},  {100, 4.49},  {125, 5.51},  {150, 6.49},  {175, 7.48},
    {200, 8.5}, {250, 10.51}, {300, 12.52}, {350, 14.57}, {400, 16.54},
};

// An entered size or wall must be a positive, finite number to mean anything.
bool IsUsable(double value) {
    return value > 0 && std::isfinite(value);
}

double RefuseEntry(const QString& text) {
    MessageBox(text, LoadString(IDS_ERROR), MB_OK);
    return 0.0;
}
} // namespace

std::span<const OdRow> IpsTable() {
    return kIps;
}

std::span<const OdRow> DipsTable() {
    return kDips;
}

std::span<const OdRow> JisTable() {
    return kJis;
}

double LookupOd(std::span<const OdRow> table, double nominal) {
    for (const OdRow& row : table) {
        if (row.nominal == nominal)
            return row.od;
    }
    return 0.0;
}

double PipeOutsideDiameter(const QString& sizeText, int sizeUnit) {
    const double size = TextToDouble(sizeText);
    double od = 0.0;
    switch (sizeUnit) {
    case 1:
        od = LookupOd(kDips, size);
        break;
    case 2:
        od = IsUsable(size) ? size : 0.0;
        break;
    case 3:
        od = IsUsable(size) ? size * kMmToInch : 0.0;
        break;
    case 4:
        od = LookupOd(kJis, size);
        break;
    default:
        od = LookupOd(kIps, size);
        break;
    }
    // This message has no entry in the string table; its text is fixed.
    return IsUsable(od) ? od : RefuseEntry(QStringLiteral("Invalid Pipe size!"));
}

double PipeWallArea(const QString& sizeText, int sizeUnit, const QString& wallText, int wallUnit) {
    const double od = PipeOutsideDiameter(sizeText, sizeUnit);
    if (od == 0.0)
        return 0.0;
    const double x = TextToDouble(wallText);
    if (!IsUsable(x))
        return RefuseEntry(LoadString(IDS_INVALID_WALL_THICKNESS));
    const double wt = wallUnit == 1 ? x : wallUnit == 2 ? x * kMmToInch : od / x;
    const double id = od - 2 * wt;
    const double area = (od * od - id * id) * kQuarterPi;
    if (!IsUsable(area)) {
        MessageBox(LoadString(IDS_CHECK_PIPE_SIZE_WALL), LoadString(IDS_PIPE_AREA_ERROR),
                   MB_OK | MB_ICONSTOP);
        return 0.0;
    }
    return area;
}

double FittingBaseArea() {
    const auto value = [](const QString& name) { return TextToDouble(ReadLogText(name)); };
    double area = 0.0;
    if (ReadLogInt(LogData::kFittingBaseType) == 1) {
        const double d = value(LogData::kFittingBaseHoleDiameter);
        area = value(LogData::kFittingBaseLength) * value(LogData::kFittingBaseWidth) -
               kQuarterPi * d * d;
    } else {
        const double wt = value(LogData::kFittingWallThickness);
        area = kFittingPi * wt * (value(LogData::kFittingOd) - wt);
    }
    return ReadLogInt(LogData::kFittingDimensionsUnit) == 1 ? area * kSqMmToSqInch : area;
}

double DirectPipeArea() {
    const double area = TextToDouble(ReadLogText(LogData::kPipeAreaSw));
    return ReadPipeAreaSwUnitInx() == 1 ? area * kSqCmToSqInch : area;
}
