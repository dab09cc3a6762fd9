#pragma once
// Pipe and fitting dimensions: what the operator typed on the Pipe page turned
// into an outside diameter and a wall area, and the area of a sidewall
// fitting's base. Results are in inches and square inches; 0 means refused.

#include <QString>
#include <span>

struct OdRow {
    double nominal; // the size as the operator types it
    double od;      // outside diameter in inches
};

std::span<const OdRow> IpsTable();  // nominal inches
std::span<const OdRow> DipsTable(); // nominal inches, ductile-iron sizes
std::span<const OdRow> JisTable();  // nominal millimetres

// The row whose key equals `nominal` exactly, else 0: a size between two rows
// is a typing mistake, never something to interpolate.
double LookupOd(std::span<const OdRow> table, double nominal);

// The OD in inches for a "Pipe Size" text in a size system ("Pipe Size Unit"
// index), or 0 after telling the operator the size is invalid.
double PipeOutsideDiameter(const QString& sizeText, int sizeUnit);

// The pipe wall's cross-section in in², or 0 after telling the operator what
// is wrong with the size or the wall thickness.
double PipeWallArea(const QString& sizeText, int sizeUnit, const QString& wallText, int wallUnit);

// The area of the fitting base in in², from the record; a value that is
// missing counts as 0, and the result may be 0 or negative (no message: the
// recommended pressures then show none).
double FittingBaseArea();

// "Pipe Area (SW)" in in², for the machines that take the pipe area directly.
double DirectPipeArea();
