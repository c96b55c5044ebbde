#include "app/window/AboutDialog.h"
#include "platform/FileSystem.h"
#include "platform/PortMap.h"
#include "support/ScriptedDialogs.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace romwright;

namespace {

// A folder that is the whole search path while the fixture lives, and a
// start that only records what it was asked to start.
struct Fixture {
    Fixture() { qputenv("PATH", dir.path().toLocal8Bit()); }
    ~Fixture() { qputenv("PATH", savedPath); }

    void makeExecutable(const QString &name, const QByteArray &script = "#!/bin/sh\n")
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(script) == script.size());
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void clickSysInfo()
    {
        AboutDialog about(dialogs, *registry, nullptr, tools);
        about.findChild<QPushButton *>(QStringLiteral("cmdSysInfo"))->click();
    }

    const QByteArray savedPath = qgetenv("PATH");
    QTemporaryDir dir;
    std::unique_ptr<Registry> registry = makeSettingsRegistry(dir.filePath(QStringLiteral("registry.ini")));
    test::ScriptedDialogs dialogs;
    QStringList started;
    SysInfoTools tools{.start =
                           [this](const QString &program) {
                               started << program;
                               return true;
                           },
                       .ownSummary = [this] { started << QStringLiteral("summary"); }};
};

} // namespace

TEST(About, SystemInfoStartsWhatItFindsOrSaysItCannot)
{
    const QString keyOfTool = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
    const QString keyOfFolder = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
    const struct {
        const char *what;
        const char *registryNames; // "tool": the registry names msinfo, "folder": the folder of MSINFO32.EXE
        QStringList inFolder;      // executables in the folder that is the search path
        bool startWorks;
        const char *started; // nullptr: none, and the message instead
    } cases[] = {
        {"nothing anywhere", "", {}, true, nullptr},
        {"the registry names the tool", "tool", {"msinfo"}, true, "msinfo"},
        {"the registry names its folder", "folder", {"MSINFO32.EXE"}, true, "MSINFO32.EXE"},
        {"the first tool on the search path wins", "", {"kinfocenter", "hardinfo"}, true, "hardinfo"},
        {"a tool that will not start", "", {"hardinfo"}, false, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Fixture f;
        for (const QString &name : c.inFolder)
            f.makeExecutable(name);
        const auto root = RegistryRoot::LocalMachine;
        if (c.registryNames == QLatin1String("tool"))
            f.registry->setValue(root, keyOfTool, "PATH", f.dir.filePath("msinfo"));
        if (c.registryNames == QLatin1String("folder"))
            f.registry->setValue(root, keyOfFolder, "MSINFO", f.dir.path());
        if (!c.startWorks)
            f.tools.start = [](const QString &) { return false; };
        f.clickSysInfo();
#ifdef Q_OS_WIN
        const QStringList fallBack;
        const std::size_t boxes = 1; // "System Information Is Unavailable At This Time"
#else
        // Our own summary rather than a shrug.
        const QStringList fallBack{QStringLiteral("summary")};
        const std::size_t boxes = 0;
#endif
        EXPECT_EQ(f.started, c.started ? QStringList{f.dir.filePath(QLatin1String(c.started))} : fallBack);
        EXPECT_EQ(f.dialogs.messages.size(), c.started ? 0u : boxes);
    }
}

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
    EXPECT_EQ(summary.section(QStringLiteral("\n\n"), 1).toStdString(),
              QStringLiteral(
                  "Folders:\n  Program:  %1\n  User:     %2\n  System:   /nowhere/romwright\n"
                  "  State:    %3 (update log, unfinished updates, transcripts)\n\n"
                  "Loader files:\n  FlashProgrammer.sss   found in %2\n  bootloader.sss        not found\n\n"
                  "Serial ports:\n  COM1  /dev/null  (may be opened)\n  COM4  /dev/null  (held by Romwright)")
                  .arg(program, user, dir.filePath(QStringLiteral("state")))
                  .toStdString());
    EXPECT_TRUE(systemSummary(PortMap(), facts, LocalFileSystem()).endsWith(QStringLiteral("none found")));
}
