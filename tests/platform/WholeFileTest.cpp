// Files replaced whole or not at all, and names that reach one file.
#include "platform/WholeFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {
QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}
} // namespace

TEST(WholeFile, AWriterThatFailsLeavesTheOldFileAndNothingBesideIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(WriteWholeFile(path, "old"));
    EXPECT_FALSE(WriteWholeFileWith(path, [](QIODevice& file) {
        file.write("half a pa");
        return false;
    }));
    EXPECT_EQ(Read(path), QByteArray("old"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("out")});
    EXPECT_TRUE(WriteWholeFileWith(path, [](QIODevice& file) { return file.write("new") == 3; }));
    EXPECT_EQ(Read(path), QByteArray("new"));
}

TEST(WholeFile, SameFileThroughSymbolicAndHardLinksOnly) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString a = dir.filePath(QStringLiteral("a")), b = dir.filePath(QStringLiteral("b"));
    ASSERT_TRUE(WriteWholeFile(a, "a"));
    ASSERT_TRUE(WriteWholeFile(b, "a"));
    ASSERT_TRUE(QFile::link(a, dir.filePath(QStringLiteral("soft"))));
    ASSERT_EQ(link(QFile::encodeName(a).constData(),
                   QFile::encodeName(dir.filePath(QStringLiteral("hard"))).constData()),
              0);
    EXPECT_TRUE(IsSameFile(a, a));
    EXPECT_TRUE(IsSameFile(a, dir.filePath(QStringLiteral("soft"))));
    EXPECT_TRUE(IsSameFile(a, dir.filePath(QStringLiteral("hard"))));
    EXPECT_FALSE(IsSameFile(a, b)); // the same bytes, another file
    EXPECT_FALSE(IsSameFile(a, dir.filePath(QStringLiteral("none"))));
    EXPECT_FALSE(
        IsSameFile(dir.filePath(QStringLiteral("none")), dir.filePath(QStringLiteral("none"))));
}
