#pragma once
// The joint summary: the current joint setup as numbered lines, shown when the
// operator is asked whether to use it again for the next joint. The numbered
// labels and the size texts are the report's own, so both read alike.

#include <QString>

// A numbered label of the string table ("%2d. Joint Number") with its number.
QString NumberedLabel(int stringId, int number);

// The pipe's size and wall as one text: size, size unit, two blanks, then the
// wall with its unit after it, or for a dimension ratio "DR" before it
// ("8\" IPS  DR 11", "110mm O.D.  6.3 mm WT").
QString PipeSizeText(const QString& size, const QString& sizeUnit, const QString& wall,
                     const QString& wallUnit);

// The fitting's main and outlet sizes with their units ("4\" IPS x 2\" CTS").
QString FittingSizeText();

// Appends the summary of the joint setup record to `text`, one line per value,
// each line ended by CR LF.
void AppendJointSummary(QString& text);
