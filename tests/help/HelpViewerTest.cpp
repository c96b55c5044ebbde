// The help viewer on the built help file, driven through the help class as
// the main window drives it.
#include "app/window/help/HelpBrowser.h"
#include "app/window/help/HelpViewerWindow.h"
#include "app/window/help/WidgetHelpViewer.h"
#include "help/HelpMenu.h"
#include "support/ScriptedDialogs.h"
#include "support/TestPaths.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace romwright;
using namespace romwright::test;

namespace {

class HelpViewerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::exists(helpFilePath(programDir()))) << "build the help file first";
        registry = makeSettingsRegistry(m_dir.filePath(QStringLiteral("registry.ini")));
        help = std::make_unique<HTMLHelp>(viewer, dialogs, *registry, files, programDir());
    }

    HelpViewerWindow *onlyWindow() const
    {
        const auto windows = viewer.windows();
        return windows.size() == 1 ? windows.front() : nullptr;
    }

    QTemporaryDir m_dir;
    ScriptedDialogs dialogs;
    WidgetHelpViewer viewer{dialogs};
    LocalFileSystem files;
    std::unique_ptr<Registry> registry;
    std::unique_ptr<HTMLHelp> help;
};

} // namespace

TEST_F(HelpViewerTest, LinksPicturesAndSearchLeadInsideTheFile)
{
    viewHelpFile(*help, programDir());
    HelpViewerWindow *window = onlyWindow();
    ASSERT_TRUE(window);
    HelpBrowser *browser = window->browser();

    // A relative link with an anchor.
    emit browser->anchorClicked(QUrl(QStringLiteral("serial-ports.html#permission")));
    EXPECT_EQ(browser->source().fragment(), QStringLiteral("permission"));
    EXPECT_EQ(window->contentsTree()->currentItem()->text(0), QStringLiteral("Permission to use a port"));

    // Pictures and the style sheet come out of the help file, relative to the page.
    ASSERT_TRUE(window->showPage(QStringLiteral("main-window.html")));
    const auto resource = [browser](QTextDocument::ResourceType type, const char *url) {
        return browser->loadResource(type, QUrl(QString::fromLatin1(url)));
    };
    EXPECT_TRUE(
        resource(QTextDocument::ImageResource, "images/lamp-green.png").toByteArray().startsWith("\x89PNG"));

    // Search finds pages by their words and marks the word on the page.
    window->tabs()->setCurrentIndex(2);
    window->searchField()->setText(QStringLiteral("dialout"));
    QTest::keyClick(window->searchField(), Qt::Key_Return);
    ASSERT_GE(window->searchResults()->count(), 1);
    EXPECT_EQ(window->searchResults()->item(0)->text(), QStringLiteral("Serial ports on Linux"));
    emit window->searchResults()->itemActivated(window->searchResults()->item(0));
    EXPECT_EQ(window->browser()->currentPage(), QStringLiteral("/serial-ports.html"));
    EXPECT_EQ(window->browser()->textCursor().selectedText().toLower(), QStringLiteral("dialout"));
}

// A missing or unreadable help file warns once per display call and opens
// nothing; one whose contents or index cannot be read opens, and the tab says
// the part is damaged instead of standing empty.
TEST_F(HelpViewerTest, AMissingOrDamagedHelpFileOrPartOfItIsSaidSo)
{
    const QByteArray good = files.read(helpFilePath(programDir())).bytes;
    const struct {
        const char *what;
        std::optional<QByteArray> file; // with the directory entry `entry` renamed, so it is not found
        const char *entry, *message;
    } cases[] = {
        {"missing", std::nullopt, "",
         "The file %1 does not exist.\nPlease make sure the correct path and file name have been specified."},
        {"empty", QByteArray(), "", "The help file %1 is damaged and cannot be shown."},
        {"contents", good, "/Romwright.hhc", nullptr},
        {"index", good, "/Romwright.hhk", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray bytes = c.file.value_or(QByteArray());
        if (const qsizetype at = bytes.indexOf(c.entry); *c.entry) {
            ASSERT_GT(at, 0);
            bytes[at + qsizetype(std::strlen(c.entry)) - 1] = 'x';
        }
        // A folder name that would garble a message built from it as a format or as markup.
        const QString folder = m_dir.filePath(QString::fromLatin1(c.what) + QStringLiteral(" %1 <b>x"));
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(!c.file || writeWholeFile(helpFilePath(folder), bytes));
        dialogs.messages.clear();
        HTMLHelp help(viewer, dialogs, *registry, files, folder);
        viewHelpFile(help, folder);
        ASSERT_EQ(dialogs.messages.size(), c.message ? 2u : 0u);
        for (const auto &m : dialogs.messages) {
            EXPECT_EQ(m.text, QString::fromLatin1(c.message).arg(helpFilePath(folder)));
            EXPECT_EQ(m.title, QStringLiteral("HTML Help Class"));
            EXPECT_EQ(m.icon, MessageIcon::Exclamation);
        }
        ASSERT_EQ(viewer.windows().size(), c.message ? 0 : 1);
        HelpViewerWindow *window = onlyWindow();
        if (!window)
            continue;
        const bool contentsDamaged = c.entry == std::string_view("/Romwright.hhc");
        ASSERT_GE(window->contentsTree()->topLevelItemCount(), 1);
        EXPECT_EQ(window->contentsTree()->topLevelItem(0)->text(0) == kDamagedHelpContents, contentsDamaged);
        EXPECT_EQ(window->contentsTree()->topLevelItemCount() > 1, !contentsDamaged);
        ASSERT_GE(window->indexList()->count(), 1);
        EXPECT_EQ(window->indexList()->item(0)->text() == kDamagedHelpIndex, !contentsDamaged);
        EXPECT_EQ(window->indexList()->count() > 1, contentsDamaged);
        // The pages are there all the same.
        EXPECT_TRUE(window->showPage(QStringLiteral("getting-started.html")));
        closeHelp(help);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// Run also on a small screen at twice the scale: the window fits its free area.
TEST_F(HelpViewerTest, OpensInsideTheScreensFreeArea)
{
    viewHelpFile(*help, programDir());
    const HelpViewerWindow *window = onlyWindow();
    ASSERT_TRUE(window);
    const QRect room = window->screen()->availableGeometry();
    EXPECT_TRUE(room.contains(window->frameGeometry()))
        << room.width() << "x" << room.height() << " holds " << window->frameGeometry().width() << "x"
        << window->frameGeometry().height();
}
