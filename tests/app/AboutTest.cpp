#include "app/window/AboutDialog.h"
#include "support/ScriptedDialogs.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace romwright;
using romwright::test::ScriptedDialogs;

namespace {

const QString kMsInfo = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString kLocation = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString kUnavailable = QStringLiteral("System Information Is Unavailable At This Time");

struct Fixture {
    QTemporaryDir dir;
    std::unique_ptr<Registry> registry = makeSettingsRegistry(dir.filePath(QStringLiteral("registry.ini")));
    ScriptedDialogs dialogs;
    QStringList started;
    SysInfoTools tools;

    Fixture()
    {
        tools.start = [this](const QString &program) {
            started << program;
            return true;
        };
    }

    QString makeExecutable(const QString &name, const QByteArray &script = "#!/bin/sh\n")
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(script);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
};

// The search path for one test, put back afterwards.
class SearchPath {
public:
    explicit SearchPath(const QString &path) : m_saved(qgetenv("PATH"))
    {
        qputenv("PATH", path.toLocal8Bit());
    }
    ~SearchPath() { qputenv("PATH", m_saved); }

private:
    QByteArray m_saved;
};

} // namespace

TEST(About, SystemInfoStartsWhatItFindsOrSaysItCannot)
{
    struct Case {
        const char *what;
        std::function<QString(Fixture &)> arrange; // answers the program expected to start
    };
    const Case cases[] = {
        {"nothing anywhere", [](Fixture &) { return QString(); }},
        {"the registry names the tool",
         [](Fixture &f) {
             const QString tool = f.makeExecutable(QStringLiteral("msinfo"));
             f.registry->setValue(RegistryRoot::LocalMachine, kMsInfo, QStringLiteral("PATH"), tool);
             return tool;
         }},
        {"the registry names its folder",
         [](Fixture &f) {
             const QString tool = f.makeExecutable(QStringLiteral("MSINFO32.EXE"));
             f.registry->setValue(RegistryRoot::LocalMachine, kLocation, QStringLiteral("MSINFO"),
                                  f.dir.path());
             return tool;
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
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Fixture f;
        const QString expected = c.arrange(f);
        SearchPath path(f.dir.path());
        StartSysInfo(*f.registry, f.dialogs, f.tools);
        if (expected.isEmpty()) {
            EXPECT_TRUE(f.started.isEmpty());
            ASSERT_EQ(f.dialogs.messages.size(), 1u);
            EXPECT_EQ(f.dialogs.messages[0].text, kUnavailable);
        } else {
            EXPECT_EQ(f.started, QStringList{expected});
            EXPECT_TRUE(f.dialogs.messages.empty());
        }
    }
}

// Through the button and a real detached start: the tool leaves a mark.
TEST(About, TheButtonReallyStartsTheTool)
{
    Fixture f;
    const QString mark = f.dir.filePath(QStringLiteral("started"));
    f.makeExecutable(QStringLiteral("hardinfo"),
                     QStringLiteral("#!/bin/sh\ntouch '%1'\n").arg(mark).toLocal8Bit());
    SearchPath path(f.dir.path() + QStringLiteral(":/usr/bin:/bin"));
    AboutDialog about(f.dialogs, *f.registry);
    about.findChild<QPushButton *>(QStringLiteral("cmdSysInfo"))->click();
    QEventLoop wait;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QFile::exists(mark))
            wait.quit();
    });
    poll.start(20);
    QTimer::singleShot(3000, &wait, &QEventLoop::quit);
    wait.exec();
    EXPECT_TRUE(QFile::exists(mark));
    EXPECT_TRUE(f.dialogs.messages.empty());
}
