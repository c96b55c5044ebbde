#include "app/window/AboutDialog.h"
#include "platform/PortMap.h"
#include "support/ScriptedDialogs.h"

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

// Each port whose device is there, and whether this user may open it.
TEST(About, SystemSummaryNamesEachPortsDevice)
{
    QTemporaryDir dir;
    const QString gone = dir.filePath(QStringLiteral("ttyGone"));
    const QString summary = systemSummary(PortMap::fromList(QStringLiteral("/dev/null,,") + gone));
    EXPECT_TRUE(summary.contains(QStringLiteral("COM1  /dev/null  (may be opened)"))) << qPrintable(summary);
    EXPECT_FALSE(summary.contains(QStringLiteral("COM2"))); // no device
    EXPECT_FALSE(summary.contains(QStringLiteral("COM3"))); // its device is gone
    EXPECT_TRUE(systemSummary(PortMap()).endsWith(QStringLiteral("none found")));
}
