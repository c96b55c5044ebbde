#include "WidgetTest.h"
#include "app/window/AboutDialog.h"
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

    QString makeExecutable(const QString &name, const QByteArray &script = "#!/bin/sh\n")
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(script) == script.size());
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return file.fileName();
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
    SysInfoTools tools{.start = [this](const QString &program) {
        started << program;
        return true;
    }};
};

} // namespace

TEST(About, SystemInfoStartsWhatItFindsOrSaysItCannot)
{
    const QString msInfo = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
    const QString location = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
    // Each arranges a case and answers the program expected to start.
    const std::pair<const char *, std::function<QString(Fixture &)>> cases[] = {
        {"nothing anywhere", [](Fixture &) { return QString(); }},
        {"the registry names the tool",
         [&](Fixture &f) {
             const QString tool = f.makeExecutable(QStringLiteral("msinfo"));
             f.registry->setValue(RegistryRoot::LocalMachine, msInfo, QStringLiteral("PATH"), tool);
             return tool;
         }},
        {"the registry names its folder",
         [&](Fixture &f) {
             f.registry->setValue(RegistryRoot::LocalMachine, location, QStringLiteral("MSINFO"),
                                  f.dir.path());
             return f.makeExecutable(QStringLiteral("MSINFO32.EXE"));
         }},
        {"the first tool on the search path wins",
         [](Fixture &f) {
             f.makeExecutable(QStringLiteral("kinfocenter"));
             return f.makeExecutable(QStringLiteral("hardinfo"));
         }},
        {"a tool that will not start",
         [](Fixture &f) {
             f.makeExecutable(QStringLiteral("hardinfo"));
             f.tools.start = [](const QString &) { return false; };
             return QString();
         }},
    };
    for (const auto &[what, arrange] : cases) {
        SCOPED_TRACE(what);
        Fixture f;
        const QString expected = arrange(f);
        f.clickSysInfo();
        EXPECT_EQ(f.started, expected.isEmpty() ? QStringList() : QStringList{expected});
        QStringList shown;
        for (const auto &m : f.dialogs.messages)
            shown << m.text;
        EXPECT_EQ(shown, expected.isEmpty() ? QStringList{kSysInfoUnavailable} : QStringList());
    }
}

// A real detached start: the tool leaves a mark.
TEST(About, TheButtonReallyStartsTheTool)
{
    Fixture f;
    const QString mark = f.dir.filePath(QStringLiteral("started"));
    f.makeExecutable(QStringLiteral("hardinfo"),
                     QStringLiteral("#!/bin/sh\n: > '%1'\n").arg(mark).toLocal8Bit());
    f.tools.start = nullptr;
    f.clickSysInfo();
    EXPECT_TRUE(test::waitUntil([&] { return QFile::exists(mark); }));
    EXPECT_TRUE(f.dialogs.messages.empty());
}
