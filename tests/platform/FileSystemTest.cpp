#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#ifdef Q_OS_UNIX
#include <csignal>
#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace romwright;

TEST(LocalFileSystem, TellsFilesFoldersAndMissingApartAndJoinsPaths)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("Hlv1450ver5_9.s19"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("S9030000FC\r\n");
    }
    QDir(dir.path()).mkdir(QStringLiteral("folder.s19"));

    LocalFileSystem fs;
    EXPECT_TRUE(fs.fileExists(file));
    EXPECT_FALSE(fs.fileExists(dir.filePath(QStringLiteral("folder.s19"))));
    EXPECT_FALSE(fs.fileExists(dir.filePath(QStringLiteral("missing.s19"))));

    EXPECT_EQ(fs.listing(file), QStringLiteral("Hlv1450ver5_9.s19"));
    EXPECT_EQ(fs.listing(dir.filePath(QStringLiteral("missing.s19"))), QString());

    EXPECT_EQ(fs.read(file).status, ReadStatus::Ok);
    EXPECT_EQ(fs.read(file).bytes, QByteArray("S9030000FC\r\n"));
    EXPECT_EQ(fs.read(dir.filePath(QStringLiteral("missing.s19"))).status, ReadStatus::NotFound);
    // A folder exists but cannot be read as a file: not the file-not-found case.
    EXPECT_EQ(fs.read(dir.filePath(QStringLiteral("folder.s19"))).status, ReadStatus::Folder);

    // A write goes whole or not at all, and leaves nothing else behind;
    // a device is written into, never replaced.
    EXPECT_TRUE(writeWholeFile(file, "S0030000FC\n"));
    EXPECT_EQ(fs.read(file).bytes, QByteArray("S0030000FC\n"));
    EXPECT_FALSE(writeWholeFile(dir.filePath(QStringLiteral("none/image.bin")), "x"));
#ifdef Q_OS_UNIX
    {
        // A disk that fills up halfway (here: a file size limit) leaves the old file as it was.
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit before{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
        rlimit small = before;
        small.rlim_cur = 1024;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written = writeWholeFile(file, QByteArray(4096, 'S'));
        ::setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_FALSE(written);
        EXPECT_EQ(fs.read(file).bytes, QByteArray("S0030000FC\n"));
    }
    EXPECT_TRUE(writeWholeFile(QStringLiteral("/dev/null"), "x"));
    EXPECT_FALSE(writeWholeFile(QStringLiteral("/dev/full"), "x"));
    EXPECT_EQ(fs.read(QStringLiteral("/dev/null")).status, ReadStatus::NotRegular);
#endif
    QStringList left = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    left.sort();
    EXPECT_EQ(left, (QStringList{"Hlv1450ver5_9.s19", "folder.s19"}));

    for (const char *folder : {"/opt/romwright", "/opt/romwright/"})
        EXPECT_EQ(joinPath(QString::fromLatin1(folder), QStringLiteral("b.sss")),
                  QStringLiteral("/opt/romwright/b.sss"));
}

#ifdef Q_OS_UNIX
// The user's folders follow the XDG rules: a relative value is ignored, and
// without HOME the home folder comes from the password database.
TEST(LocalFileSystem, UserFoldersFollowTheXdgRules)
{
    const char *const names[] = {"HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"};
    std::vector<std::optional<QByteArray>> saved;
    for (const char *name : names)
        saved.push_back(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
    const passwd *entry = ::getpwuid(::getuid());
    ASSERT_NE(entry, nullptr);
    const QString passwdHome = QString::fromLocal8Bit(entry->pw_dir);
    const char *unset = nullptr;
    struct Case {
        const char *name;
        const char *home;
        const char *dataHome;
        const char *stateHome;
        QString data;
        QString state;
    };
    // clang-format off
    const std::vector<Case> cases{
        {"defaults", "/home/ann", unset, unset, "/home/ann/.local/share/romwright", "/home/ann/.local/state/romwright"},
        {"set", "/home/ann", "/srv/data", "/srv/state/", "/srv/data/romwright", "/srv/state/romwright"},
        {"relative values ignored", "/home/ann", "data", "./state", "/home/ann/.local/share/romwright",
         "/home/ann/.local/state/romwright"},
        {"empty values ignored", "/home/ann", "", "", "/home/ann/.local/share/romwright",
         "/home/ann/.local/state/romwright"},
        {"HOME unset", unset, unset, unset, passwdHome + "/.local/share/romwright",
         passwdHome + "/.local/state/romwright"},
        {"HOME empty", "", "rel", unset, passwdHome + "/.local/share/romwright", passwdHome + "/.local/state/romwright"},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const char *values[] = {c.home, c.dataHome, c.stateHome};
        for (int i = 0; i < 3; ++i)
            values[i] ? qputenv(names[i], values[i]) : qunsetenv(names[i]);
        EXPECT_EQ(userDataFolder(), QDir::cleanPath(c.data));
        EXPECT_EQ(userStateFolder(), QDir::cleanPath(c.state));
    }
    for (int i = 0; i < 3; ++i)
        saved[std::size_t(i)] ? qputenv(names[i], *saved[std::size_t(i)]) : qunsetenv(names[i]);
}
#endif
