// The help file as the build compiles it: every page, picture and sitemap
// entry is there, links lead somewhere, and every message the program can
// show is explained.
#include "app/common/FileMessages.h"
#include "app/common/FindFile.h"
#include "app/common/PortPermissionNotice.h"
#include "app/common/UnfinishedUpdate.h"
#include "app/common/UpdateMessages.h"
#include "app/common/WaitLetterPrompt.h"
#include "app/window/AboutSysInfo.h"
#include "help/ChmArchive.h"
#include "help/HTMLHelp.h"
#include "help/HelpMenu.h"
#include "help/HelpSearchIndex.h"
#include "help/HelpSitemap.h"
#include "image/FirmwareCheck.h"
#include "scanner/ChooserAnswer.h"
#include "support/TestPaths.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace romwright;

namespace {

std::unique_ptr<ChmArchive> openBuiltHelp()
{
    return ChmArchive::open(helpFilePath(test::programDir()));
}

QString text(const ChmArchive &archive, const QString &path)
{
    return QString::fromUtf8(archive.read(path).value_or(QByteArray()));
}

} // namespace

// Copies of the built help file damaged where chmlib trusts the file; the
// first two took the viewer down (SIGSEGV, SIGFPE) before they were checked.
TEST(ChmArchive, RefusesDamagedFilesBeforeChmlibReadsThem)
{
    const QByteArray good = LocalFileSystem().read(helpFilePath(test::programDir())).bytes;
    const qsizetype control = good.indexOf("LZXC") - 4; // size, "LZXC", version, reset interval, window size
    const qsizetype directory = good.indexOf("ITSP");
    const qsizetype leaf = good.indexOf("PMGL");
    ASSERT_GT(control, 0);
    auto put32 = [](QByteArray &b, qsizetype at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = char(v >> (8 * i));
    };
    const struct {
        const char *what;
        std::function<void(QByteArray &)> damage;
    } cases[] = {
        {"compression version flipped", [&](QByteArray &b) { b[control + 8] = char(b[control + 8] ^ 0xFF); }},
        {"window size zero", [&](QByteArray &b) { put32(b, control + 16, 0); }},
        {"window size not a power of two", [&](QByteArray &b) { put32(b, control + 16, 3); }},
        {"no windows per reset", [&](QByteArray &b) { put32(b, control + 20, 0); }},
        {"directory page length zero", [&](QByteArray &b) { put32(b, directory + 0x10, 0); }},
        {"directory longer than the file", [&](QByteArray &b) { put32(b, 0x50, 0x7FFFFFFF); }},
        {"leaf page followed by itself", [&](QByteArray &b) { put32(b, leaf + 0x10, 0); }},
        {"leaf page claiming no free space", [&](QByteArray &b) { put32(b, leaf + 4, 0); }},
        {"cut inside the compressed section", [](QByteArray &b) { b.chop(200); }},
        {"cut after the headers", [](QByteArray &b) { b.truncate(0x200); }},
        {"empty", [](QByteArray &b) { b.clear(); }},
        {"not a help file", [](QByteArray &b) { b.fill('x'); }},
    };
    QTemporaryDir dir;
    for (const auto &c : cases) {
        QByteArray bytes = good;
        c.damage(bytes);
        const QString path = dir.filePath(QString::fromLatin1(c.what) + QStringLiteral(".chm"));
        ASSERT_TRUE(writeWholeFile(path, bytes));
        ChmOpenFailure failure = ChmOpenFailure::None;
        EXPECT_FALSE(ChmArchive::open(path, &failure)) << c.what;
        EXPECT_EQ(failure, ChmOpenFailure::Damaged) << c.what;
    }
    ChmOpenFailure failure = ChmOpenFailure::None;
    EXPECT_FALSE(ChmArchive::open(dir.filePath(QStringLiteral("missing.chm")), &failure));
    EXPECT_EQ(failure, ChmOpenFailure::Missing);
}

TEST(HelpFile, EveryLinkPictureAndSitemapEntryLeadsToAFileOfTheHelp)
{
    auto archive = openBuiltHelp();
    ASSERT_TRUE(archive) << helpFilePath(test::programDir()).toStdString();
    EXPECT_EQ(archive->title(), QStringLiteral("Romwright Help"));
    EXPECT_EQ(archive->defaultTopic(), QStringLiteral("about.html"));
    EXPECT_FALSE(archive->files().contains(QStringLiteral("/#SYSTEM"))); // the compiler's own file
    static const QRegularExpression reference(QStringLiteral(R"re((?:href|src)\s*=\s*"([^"]+)")re"),
                                              QRegularExpression::CaseInsensitiveOption);
    int pages = 0;
    for (const QString &file : archive->files()) {
        if (!file.endsWith(QLatin1String(".html")))
            continue;
        ++pages;
        const QString html = text(*archive, file);
        const QString folder = file.section(QLatin1Char('/'), 0, -2);
        for (auto it = reference.globalMatch(html); it.hasNext();) {
            const QString target = it.next().captured(1);
            if (target.startsWith(QLatin1Char('#')) || target.contains(QLatin1String("://")))
                continue;
            EXPECT_TRUE(archive->contains(folder + QLatin1Char('/') + target))
                << file.toStdString() << " -> " << target.toStdString();
        }
        EXPECT_TRUE(html.contains(QLatin1String("<title>"))) << file.toStdString();
    }
    EXPECT_GE(pages, 8);

    for (const QString &sitemap : {archive->contentsFile(), archive->indexFile()}) {
        const auto tree = HelpSitemap::parse(text(*archive, sitemap));
        const auto entries = HelpSitemap::flatten(tree);
        EXPECT_GE(entries.size(), 8u) << sitemap.toStdString();
        for (const auto &[entry, depth] : entries) {
            ASSERT_FALSE(entry->topics.empty()) << entry->name.toStdString();
            for (const auto &topic : entry->topics)
                EXPECT_TRUE(archive->contains(topic.local)) << topic.local.toStdString();
        }
    }
}

// The texts come from the program itself: a message reworded or added there
// without its entry here fails. Placeholders (%1) stand for NAME, PATH and
// the like in the manual, so each fixed piece between them must be there.
TEST(HelpFile, ExplainsEveryMessageTheProgramShows)
{
    auto archive = openBuiltHelp();
    ASSERT_TRUE(archive);
    const QString page = HelpSearchIndex::plainText(text(*archive, QStringLiteral("messages.html")));
    using namespace messages;
    const char *const shown[] = {
        kMissingFileMessage, kDamagedFileMessage, kFolderMessage, kNotRegularFileMessage,
        kPermissionDeniedMessage, kNoRecordsMessage, kChooseProcessorMessage, kFileTypeRequiredTitle,
        kMeantForAnotherMessage, kProgramAnyway, kFirmwareCheckTitle, kLoaderNotFirmwareMessage,
        kNothingToWriteMessage, kNameAndHeaderDisagreeMessage, kNotSaidMessage, kProgramIntoAnyway,
        kCompleteUpdateBarCode, kSelectFirmware, kPortFailure, kCommunicationsFailureTitle, kPowerCycle,
        kPowerCycleTitle, kComplete, kTimedOut, kTimeoutFailureTitle, kStalled, kConnectionLost, kNoBlocks,
        PortPermissionNotice::kTitle, kChooseScannerTitle, WaitLetterPrompt::kPrompt,
        WaitLetterPrompt::kTitle, kSysInfoUnavailable, kDamagedHelpFileMessage, kInterruptedUnchanged,
        kInterruptedReplacingBoot, kInterruptedNoFirmware, kInterruptedNewBoot, kWayBackReplacingBoot,
        kWayBackNoFirmware, kStalledReason, kConnectionLostReason, kUnfinishedUpdateTitle, kFinishItNow,
        kFinishingItWith, kRecordFileChanged, kRecordFileMissing, kNoScannerWayBackWindow,
        kLeftInBootSoftware,
        // The help viewer's own warnings.
        "Please make sure the correct path and file name have been specified.",
        "is not a valid HTML Help file."};
    static const QRegularExpression kGaps(QStringLiteral("%\\d|\\r"));
    for (const char *message : shown) {
        for (const QString &piece : QString::fromUtf8(message).split(kGaps)) {
            if (piece.trimmed().size() > 2) {
                EXPECT_TRUE(page.contains(piece.trimmed()))
                    << message << "\n  missing: " << piece.toStdString();
            }
        }
    }
}

// Every option `romwright --help` prints is described in the help's
// command-line page and in the manual page romwright(1).
TEST(HelpFile, CommandLinePageAndManualPageDescribeEveryOption)
{
    QProcess program;
    program.start(test::programDir() + QStringLiteral("/romwright"), {QStringLiteral("--help")});
    ASSERT_TRUE(program.waitForFinished(10000));
    const QString usage = QString::fromUtf8(program.readAllStandardOutput());
    static const QRegularExpression kOption(QStringLiteral("(?<![\\w-])--?[a-z][a-z-]*"));
    QStringList options;
    for (const QRegularExpressionMatch &m : kOption.globalMatch(usage))
        if (!options.contains(m.captured()))
            options << m.captured();
    ASSERT_GE(options.size(), 10) << usage.toStdString();

    auto archive = openBuiltHelp();
    ASSERT_TRUE(archive);
    const QByteArray manual =
        LocalFileSystem().read(test::sourceDir() + QStringLiteral("/docs/romwright.1")).bytes;
    const std::pair<const char *, QString> documents[] = {
        {"command-line.html",
         HelpSearchIndex::plainText(text(*archive, QStringLiteral("command-line.html")))},
        {"romwright.1", QString::fromUtf8(manual).replace(QStringLiteral("\\-"), QStringLiteral("-"))},
    };
    for (const auto &[what, document] : documents) {
        for (const QString &option : options) {
            const QRegularExpression mention(QStringLiteral("(?<![\\w-])") +
                                             QRegularExpression::escape(option) +
                                             QStringLiteral("(?![\\w-])"));
            EXPECT_TRUE(document.contains(mention)) << what << " lacks " << option.toStdString();
        }
    }
}

// The help file is read beside the executable (a build tree, Windows), else
// from the installed data folder, /usr/share/romwright for /usr/bin.
TEST(HelpFile, IsReadFromTheProgramFolderElseTheInstalledDataFolder)
{
    const struct {
        bool besideProgram, installed;
        const char *readFrom;
    } cases[] = {
        {true, true, "usr/bin"},
        {false, true, "usr/share/romwright"},
        {false, false, "usr/bin"}, // the message names where it was looked for first
    };
    for (const auto &c : cases) {
        QTemporaryDir root;
        const QString bin = root.filePath(QStringLiteral("usr/bin"));
        const QString share = root.filePath(QStringLiteral("usr/share/romwright"));
        ASSERT_TRUE(QDir().mkpath(bin) && QDir().mkpath(share));
        ASSERT_TRUE(!c.besideProgram || writeWholeFile(helpFilePath(bin), "x"));
        ASSERT_TRUE(!c.installed || writeWholeFile(helpFilePath(share), "x"));
        EXPECT_EQ(helpFolder(LocalFileSystem(), bin), root.filePath(QString::fromLatin1(c.readFrom)));
    }
}
