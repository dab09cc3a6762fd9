#include "platform/MessageBox.h"

#include "framework/Fonts.h"
#include "framework/Strings.h"

#include <QApplication>
#include <QMessageBox>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {
QString WithoutBlanks(QString text) {
    return text.remove(QRegularExpression(QStringLiteral("\\s")));
}
} // namespace

TEST(MessageBox, EveryBoxFitsTheHandheldScreen) {
    LoadProgramFonts();
    const QFont font = QApplication::font();
    QApplication::setFont(QFont(QStringLiteral("Tahoma"), 8)); // as the program sets it
    QStringList texts;
    for (StringId id : kAllStringIds)
        texts << LoadString(id);
    // Texts with a path in them, the longest a report or folder can have.
    const QString path = QStringLiteral("/home/operator/.local/share/Kelvorn/Kelvorn VTQ-PPC/"
                                        "Joint Reports/Job-2291_Joint-112_Op-7_0305_0708.kjr");
    texts << LoadString(IDS_COULD_NOT_SAVE_TO) + path
          << LoadString(IDS_CANNOT_CREATE_FOLDER).replace(QStringLiteral("%s"), path);
    // The widest boxes: an icon and two buttons.
    for (const QString& text : texts) {
        const std::unique_ptr<QMessageBox> box =
            CreateMessageBox(text, QString(), MB_OKCANCEL | MB_ICONINFORMATION);
        box->show();
        EXPECT_LE(box->width(), kMessageBoxMaxWidth) << qPrintable(text);
        // Broken into lines, never shortened.
        EXPECT_EQ(WithoutBlanks(box->text()), WithoutBlanks(text));
    }
    QApplication::setFont(font);
}

TEST(MessageBox, ABoxStandsOverItsWindow) {
    // The program's window, away from the screen's middle.
    QWidget window;
    window.setGeometry(700, 420, 240, 320);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_EQ(OwnerWindow(), &window);
    const auto box = CreateMessageBox(LoadString(IDS_NO_STORAGE_CARD), QString(), MB_OK);
    EXPECT_EQ(box->parentWidget(), &window);
    const QRect over = window.frameGeometry();
    const QRect rect = box->frameGeometry();
    EXPECT_TRUE(over.contains(rect.center())) << rect.x() << "," << rect.y();
    EXPECT_GE(rect.left(), over.left());
    EXPECT_LE(rect.right(), over.right());
}
