#include "framework/Fonts.h"

#include <QFile>
#include <QFont>
#include <QFontDatabase>

void LoadProgramFonts() {
    static bool loaded = false;
    if (loaded)
        return;
    loaded = true;
    bool tahoma = false;
    for (const char* file :
         {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
        const QString path = QString::fromLatin1(file);
        if (QFile::exists(path) && QFontDatabase::addApplicationFont(path) >= 0)
            tahoma = true;
    }
    const QString fallback = QStringLiteral("DejaVu Sans");
    if (!tahoma)
        QFont::insertSubstitution(QStringLiteral("Tahoma"), fallback);
    // The handheld's "System" font is a bold sans serif of the same family.
    QFont::insertSubstitution(QStringLiteral("System"),
                              tahoma ? QStringLiteral("Tahoma") : fallback);
}
