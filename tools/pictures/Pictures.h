#pragma once
// The picture writer: every window in its typical states, as PNG files in
// one folder. Each group of windows has its own function.

#include <QString>

class QWidget;
class CDialog;

// Shows `window` offscreen and writes it as DIR/NAME.png; false when the
// file could not be written.
bool SavePicture(QWidget& window, const QString& name);
// The same for a dialog, which is built from its template first.
bool SavePicture(CDialog& dialog, const QString& name);

// The picture groups. Each returns how many pictures could not be written.
int WriteShellPictures();
int WriteSessionPictures();
int WriteSetupPictures();
int WriteMessageBoxPictures();
int WriteServicePictures();
int WriteLibraryPictures();
// Pages of the job dossier, rendered from its PDF into `dir`.
int WriteDossierPictures(const QString& dir);
