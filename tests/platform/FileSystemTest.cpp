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

TEST(SystemDataFolders, EachAbsoluteEntryOnceInOrderWithTheDefaultForNone)
{
    const struct {
        const char *dataDirs;
        QStringList folders;
    } cases[] = {
        {"", {"/usr/local/share/romwright", "/usr/share/romwright"}},
        {"/opt/data:/usr/share/", {"/opt/data/romwright", "/usr/share/romwright"}},
        // Relative entries would name a folder below wherever the program was started.
        {"share:./x:/srv/data", {"/srv/data/romwright"}},
        {"/usr/share:/usr/share/::/usr/share", {"/usr/share/romwright"}},
        {"relative", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(systemDataFolders(QString::fromLatin1(c.dataDirs)), c.folders) << c.dataDirs;
}

#ifdef Q_OS_UNIX
// The user's folders follow the XDG rules: a relative value is ignored, and
// without HOME the home folder comes from the password database.
TEST(LocalFileSystem, UserFoldersFollowTheXdgRules)
{
    const char *const names[] = {"HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME"};
    std::vector<std::optional<QByteArray>> saved;
    for (const char *name : names)
        saved.push_back(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
    const passwd *entry = ::getpwuid(::getuid());
    ASSERT_NE(entry, nullptr);
    const QString passwdHome = QString::fromLocal8Bit(entry->pw_dir);
    const char *unset = nullptr;
    const QString ann = QStringLiteral("/home/ann");
    struct Case {
        const char *name;
        const char *home;
        const char *xdg; // the same value for XDG_DATA_HOME, XDG_STATE_HOME and XDG_CONFIG_HOME
        QString base;    // where .local/share/romwright and the others are expected
        bool xdgUsed;
    };
    const std::vector<Case> cases{
        {"defaults", "/home/ann", unset, ann, false},
        {"set", "/home/ann", "/srv/", "/srv", true},
        {"relative values ignored", "/home/ann", "srv", ann, false},
        {"relative with a dot ignored", "/home/ann", "./srv", ann, false},
        {"empty values ignored", "/home/ann", "", ann, false},
        {"HOME unset", unset, unset, passwdHome, false},
        {"HOME empty, relative values", "", "srv", passwdHome, false},
        {"HOME relative", "ann", unset, passwdHome, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (std::size_t i = 0; i < std::size(names); ++i) {
            const char *value = i == 0 ? c.home : c.xdg;
            value ? qputenv(names[i], value) : qunsetenv(names[i]);
        }
        const auto expected = [&](const char *xdgPart, const char *homePart) {
            return QDir::cleanPath(c.base + QLatin1Char('/') + QLatin1String(c.xdgUsed ? xdgPart : homePart));
        };
        EXPECT_EQ(userDataFolder(), expected("romwright", ".local/share/romwright"));
        EXPECT_EQ(userStateFolder(), expected("romwright", ".local/state/romwright"));
        EXPECT_EQ(QDir::cleanPath(userConfigHome()), expected("", ".config"));
    }
    for (std::size_t i = 0; i < std::size(names); ++i)
        saved[i] ? qputenv(names[i], *saved[i]) : qunsetenv(names[i]);
}
#endif
