#include "app/window/AboutDialog.h"
#include "platform/FileSystem.h"
#include "platform/PortMap.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace romwright;

// The program's version and folders, where each loader was found, and each
// port whose device is there: held by the program, or whether this user may
// open it.
TEST(About, SystemSummaryNamesVersionFoldersLoadersAndEachPortsDevice)
{
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("bin"));
    const QString user = dir.filePath(QStringLiteral("data"));
    ASSERT_TRUE(QDir().mkpath(program) && QDir().mkpath(user));
    ASSERT_TRUE(writeWholeFile(user + QStringLiteral("/FlashProgrammer.sss"), "S9030000FC\n"));
    const QString gone = dir.filePath(QStringLiteral("ttyGone"));
    const PortMap ports =
        PortMap::fromList(QStringLiteral("/dev/null,,") + gone + QStringLiteral(",/dev/null"));
    const ProgramFacts facts{"Version 4.0.1",       program, user, {"/nowhere/romwright"},
                             dir.filePath("state"), 4};
    const QString summary = systemSummary(ports, facts, LocalFileSystem());
    EXPECT_TRUE(summary.startsWith(QStringLiteral("Romwright: Version 4.0.1\n"))) << qPrintable(summary);
    // After the system's own lines, the whole: no COM2 (no device), no COM3 (its device is gone).
    EXPECT_EQ(
        summary.section(QStringLiteral("\n\n"), 1).toStdString(),
        QStringLiteral(
            "Folders:\n  Program:  %1\n  User:     %2\n  System:   /nowhere/romwright\n"
            "  State:    %3 (update log, unfinished updates, transcripts)\n\n"
            "Loader files:\n  FlashProgrammer.sss   found in %2\n  bootloader.sss        not found\n\n"
            "Serial ports:\n  port 1  /dev/null  (may be opened)\n  port 4  /dev/null  (held by Romwright)")
            .arg(program, user, dir.filePath(QStringLiteral("state")))
            .toStdString());
    EXPECT_TRUE(systemSummary(PortMap(), facts, LocalFileSystem()).endsWith(QStringLiteral("none found")));
}
