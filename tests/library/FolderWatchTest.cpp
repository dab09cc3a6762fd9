#include "library/FolderWatch.h"
#include "library/Worker.h"
#include "support/RunTool.h"
#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>

// A card put into the reader (a file system mounted below the media
// folders) asks for a scan within seconds, and so does one taken out. The
// test runs itself again in a mount namespace of its own, where it may
// mount.
TEST(FolderWatch, ACardPutInOrTakenOutAsksForAScan) {
    if (qEnvironmentVariableIsEmpty("VTQ_WATCH_IN_NAMESPACE")) {
        ASSERT_EQ(
            RunTool(QStringLiteral("unshare"), {QStringLiteral("-m"), QStringLiteral("true")}).code,
            0)
            << "the tests make a mount namespace of their own: run them as root";
        const ToolRun run =
            RunTool(QStringLiteral("unshare"),
                    {QStringLiteral("-m"), QCoreApplication::applicationFilePath(),
                     QStringLiteral("--gtest_filter=FolderWatch.ACardPutInOrTakenOutAsksForAScan")},
                    {QStringLiteral("VTQ_WATCH_IN_NAMESPACE=1")});
        EXPECT_EQ(run.code, 0) << run.out.toStdString() << run.err.toStdString();
        return;
    }
    // In the namespace: mounts made here are seen by nobody else.
    ASSERT_EQ(std::system("mount --make-rprivate /"), 0);
    const QString media = TestSettingsFolder() + QStringLiteral("/media");
    const QString card = media + QStringLiteral("/HANDHELD");
    const QString reports = TestRootFolder() + QStringLiteral("/Joint Reports");
    QDir().mkpath(card);
    QDir().mkpath(reports);
    QStringList why;
    bool watched = false;
    {
        CFolderWatch watch;
        QObject::connect(&watch, &CFolderWatch::ScanWanted, [&](const QString& w) { why << w; });
        QObject::connect(&watch, &CFolderWatch::FolderState, [&](const QString&, int state) {
            watched = state == CFolderWatch::Watched;
        });
        watch.SetFolders({reports}, {media});
        const auto waitFor = [](const std::function<bool()>& done, int ms = 10000) {
            QDeadlineTimer deadline(ms);
            while (!done() && !deadline.hasExpired())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            return done();
        };
        ASSERT_TRUE(waitFor([&]() { return watched; }));
        const QByteArray mount = "mount -t tmpfs card '" + card.toUtf8() + "'";
        ASSERT_EQ(std::system(mount.constData()), 0);
        ASSERT_TRUE(waitFor([&]() { return !why.isEmpty(); }));
        EXPECT_EQ(why[0], QStringLiteral("a card or share was mounted or unmounted"));
        ASSERT_EQ(std::system(("umount '" + card.toUtf8() + "'").constData()), 0);
        ASSERT_TRUE(waitFor([&]() { return why.size() >= 2; }));
        // A mount elsewhere is none of the library's business.
        const QString elsewhere = TestRootFolder() + QStringLiteral("/elsewhere");
        QDir().mkpath(elsewhere);
        ASSERT_EQ(std::system(("mount -t tmpfs x '" + elsewhere.toUtf8() + "'").constData()), 0);
        // The kernel wakes the watcher at a mount: two seconds are ample to see
        // one that should not be heard of.
        EXPECT_FALSE(waitFor([&]() { return why.size() > 2; }, 2000));
        std::system(("umount '" + elsewhere.toUtf8() + "'").constData());
    }
    EXPECT_TRUE(WaitForLibraryWorkers(10000));
}
