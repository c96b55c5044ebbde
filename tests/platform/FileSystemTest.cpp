#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <tuple>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

using namespace romwright;

TEST(LocalFileSystem, TellsFilesFoldersAndMissingApartAndWritesWholeFiles)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid() && QDir(dir.path()).mkdir(QStringLiteral("folder.s19")));
    const QString file = dir.filePath(QStringLiteral("Hlv1450ver5_9.s19"));
    // A write goes whole or not at all, and leaves nothing else behind; a
    // device is neither written into nor replaced.
    const std::pair<QString, bool> writes[] = {{file, true},
                                               {file, true},
                                               {dir.filePath(QStringLiteral("none/image.bin")), false},
                                               {"/dev/null", false},
                                               {"/dev/full", false}};
    for (const auto &[path, written] : writes)
        EXPECT_EQ(writeWholeFile(path, "S0030000FC\n"), written) << path.toStdString();
    // A folder exists but cannot be read as a file: not the file-not-found case.
    // Sizes around the bound, sparse: nothing past the bound is read.
    const QString atBound = dir.filePath(QStringLiteral("at-bound.s19"));
    const QString pastBound = dir.filePath(QStringLiteral("past-bound.s19"));
    const auto sparse = [](const QString &path, qint64 size) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.resize(size);
    };
    ASSERT_TRUE(sparse(atBound, kLargestFileRead) && sparse(pastBound, kLargestFileRead + 1));
    using enum ReadStatus;
    const std::tuple<QString, ReadStatus, QString> reads[] = {
        {file, Ok, "Hlv1450ver5_9.s19"},
        {atBound, Ok, "at-bound.s19"},
        {pastBound, TooLarge, "past-bound.s19"},
        {dir.filePath(QStringLiteral("missing.s19")), NotFound, ""},
        {dir.filePath(QStringLiteral("folder.s19")), Folder, ""},
        {"/dev/null", NotRegular, ""}};
    LocalFileSystem fs;
    for (const auto &[path, status, listed] : reads) {
        const FileContents contents = fs.read(path);
        EXPECT_EQ(contents.status, status) << path.toStdString();
        EXPECT_EQ(contents.bytes.size(), path == atBound ? kLargestFileRead : contents.bytes.size());
        EXPECT_TRUE(status == Ok || contents.bytes.isEmpty());
        EXPECT_EQ(fs.fileExists(path), status == Ok || status == TooLarge);
        EXPECT_EQ(fs.listing(path), listed);
    }
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
#endif
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name),
              (QStringList{"Hlv1450ver5_9.s19", "at-bound.s19", "folder.s19", "past-bound.s19"}));
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
