// The help file as the build compiles it: every page, picture and sitemap
// entry is there, links lead somewhere, and every message the program can
// show is explained.
#include "app/startup/PortPermissionNotice.h"
#include "app/update/FileMessages.h"
#include "app/update/UnfinishedUpdate.h"
#include "app/update/UpdateMessages.h"
#include "app/window/AboutSysInfo.h"
#include "app/window/FindFile.h"
#include "app/window/WaitLetterPrompt.h"
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
#include <map>

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

// One source, a set of pages for each system: a page made for Windows names
// no Linux place and the other way round, each names its own, and no marker
// or place name of the source is left in either.
TEST(HelpFile, EachSystemsPagesNameItsOwnPlacesOnly)
{
    const struct {
        const char *system;
        QStringList own, foreign;
    } systems[] = {
        {"linux",
         {"~/.local/share/romwright", "~/.local/state/romwright", "/usr/share/romwright", "ls -l /dev/tty",
          "dialout", "Serial ports on Linux"},
         {"%LOCALAPPDATA%", "C:\\", "Program Files", "Device Manager", "\\Romwright", ".exe", "Windows"}},
        {"windows",
         {"%LOCALAPPDATA%\\Romwright", "C:\\Program Files\\Romwright", "Device Manager",
          "Serial ports on Windows"},
         {"~/", "/usr/", "/dev/", "/etc/", ".local/", "XDG_", "dialout", "ls -l", "udev", "man romwright",
          "sudo", "Linux"}},
    };
    static const QRegularExpression leftOver(QStringLiteral("<!--(if |else-->|end if-->)|@[A-Z_]+@"));
    for (const auto &s : systems) {
        SCOPED_TRACE(s.system);
        const QDir pages(QStringLiteral(ROMWRIGHT_HELP_STAGES "/stage-") + QLatin1String(s.system));
        const QStringList names = pages.entryList({"*.html", "*.hhc", "*.hhk", "*.txt"}, QDir::Files);
        ASSERT_GE(names.size(), 12);
        QString all;
        for (const QString &name : names) {
            const QString page = QString::fromUtf8(LocalFileSystem().read(pages.filePath(name)).bytes);
            for (const QString &place : s.foreign)
                EXPECT_FALSE(page.contains(place)) << name.toStdString() << " names " << place.toStdString();
            EXPECT_FALSE(page.contains(leftOver))
                << name.toStdString() << ": " << leftOver.match(page).captured().toStdString();
            all += page;
        }
        for (const QString &place : s.own)
            EXPECT_TRUE(all.contains(place)) << "no page names " << place.toStdString();
    }
}

// F1 in a dialog opens its page: the page is in the help file and explains
// that dialog, and the index leads there by the dialog's name as well.
TEST(HelpFile, EveryDialogHasItsPageAndIndexEntry)
{
    auto archive = openBuiltHelp();
    ASSERT_TRUE(archive);
    std::map<QString, QString> index;
    const auto tree = HelpSitemap::parse(text(*archive, archive->indexFile()));
    for (const auto &[entry, depth] : HelpSitemap::flatten(tree))
        if (!entry->topics.empty())
            index[entry->name] = entry->topics.front().local;
    const struct {
        QString title;   // as the dialog's caption says
        QString indexed; // its index entry
        QString said;    // what its page says of it
    } dialogs[] = {
        {kUnfinishedUpdateTitle, kUnfinishedUpdateTitle, kFinishItNow},
        {kFirmwareCheckTitle, kFirmwareCheckTitle, "Program it anyway?"},
        {"Update Running", "Update Running", "An update is running."},
        {messages::kPowerCycleTitle, messages::kPowerCycleTitle, "Please unplug power from the scanner."},
        {kScannerNotFoundTitle, kScannerNotFoundTitle, "No scanner answered on the serial ports."},
        {kChooseScannerTitle, kChooseScannerTitle, "Click the button under the picture"},
        {"About Romwright", "About box", "GNU General Public License, version 3 or later"},
        {"System Information", "System Information", "held by Romwright"},
        {"Open", "Open dialog", "The dialog starts in the first of these folders"},
        {WaitLetterPrompt::kTitle, WaitLetterPrompt::kTitle, "Enter the letter to wait for."},
        {messages::kTimeoutFailureTitle, messages::kTimeoutFailureTitle, "The Romwright timed out."},
        {"Romwright", "messages", "The file NAME holds no firmware records."},
    };
    for (const auto &d : dialogs) {
        SCOPED_TRACE(d.title.toStdString());
        const QString page = dialogHelpPage(d.title);
        const QString file = QLatin1Char('/') + page.section(QLatin1Char('#'), 0, 0);
        ASSERT_TRUE(archive->contains(file)) << page.toStdString();
        const QString html = text(*archive, file);
        const QString anchor = page.section(QLatin1Char('#'), 1);
        const qsizetype at = anchor.isEmpty() ? 0 : html.indexOf(QStringLiteral("name=\"%1\"").arg(anchor));
        ASSERT_GE(at, 0) << "no anchor " << anchor.toStdString();
        // Explained from the anchor on.
        EXPECT_TRUE(HelpSearchIndex::plainText(html.mid(at)).contains(d.said.trimmed()));
        EXPECT_EQ(index[d.indexed], page) << "index entry " << d.indexed.toStdString();
    }
    // Search Again is a menu entry, not a dialog: indexed all the same.
    EXPECT_EQ(index[QStringLiteral("Search Again")], QStringLiteral("main-window.html#search-again"));
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
        kMissingLoaderMessage, kMissingFirmwareMessage, kDamagedFileMessage, kFolderMessage,
        kNotRegularFileMessage, kPermissionDeniedMessage, kNoRecordsMessage, kChooseProcessorMessage,
        kFileTypeRequiredTitle, kMeantForAnotherMessage, kProgramAnyway, kFirmwareCheckTitle,
        kLoaderNotFirmwareMessage, kNothingToWriteMessage, kNameAndHeaderDisagreeMessage, kNotSaidMessage,
        kProgramIntoAnyway, kCompleteUpdateBarCode, kSelectFirmware, kPortFailure,
        kCommunicationsFailureTitle, kPowerCycle, kPowerCycleTitle, kComplete, kTimedOut,
        kTimeoutFailureTitle, kStalled, kConnectionLost, kNoBlocks, PortPermissionNotice::kTitle,
        kChooseScannerTitle, WaitLetterPrompt::kPrompt, WaitLetterPrompt::kTitle, kMissingLoadersMessage,
        kDamagedHelpFileMessage, kInterruptedUnchanged, kInterruptedReplacingBoot, kInterruptedNoFirmware,
        kInterruptedNewBoot, kWayBackReplacingBoot, kWayBackNoFirmware, kStalledReason, kConnectionLostReason,
        kUnfinishedUpdateTitle, kFinishItNow, kFinishingItWith, kRecordFileChanged, kRecordFileMissing,
        kNoScannerWayBackWindow, kLeftInBootSoftware, kInterruptedRestarted, kInterruptedRestartedNoRecord,
        kInterruptedIdentity, kFinishingItWithNewest,
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
