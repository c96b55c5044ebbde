#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
