#pragma once
// The handheld's windows use Tahoma and the "System" font. Loads Tahoma from
// fonts-wine when it is installed, and maps both names to DejaVu Sans when it
// is not, so that dialogs lay out as on the handheld.

void LoadProgramFonts();
