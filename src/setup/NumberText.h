#pragma once
// Numbers typed by the operator are kept as text and turned into numbers only
// when a calculation needs them, the way the handheld's wide-text conversions
// read them: leading blanks are skipped, reading stops at the first character
// that cannot continue the number, and a text without a number is 0. So
// "30 psi" reads as 30 and "2.1 bar" as 2.1. Neither depends on the machine's
// locale: the decimal separator is always a point.

#include <QString>

// Reads an optional sign, digits with at most one decimal point, and an
// exponent ("e" or "E", optional sign, digits) when digits follow it. A number
// too large for a double reads as plus or minus infinity, one too small as 0.
double TextToDouble(const QString& text);

// Reads an optional sign and decimal digits; "13.1" reads as 13. Values
// beyond the handheld's 32-bit long are held at its limits.
int TextToLong(const QString& text);
