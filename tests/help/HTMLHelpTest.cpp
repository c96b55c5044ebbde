#include "help/HTMLHelp.h"
#include "help/HelpMenu.h"
#include "help/RecordingHelpViewer.h"
#include "support/ScriptedDialogs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

using namespace romwright;
using namespace romwright::test;

namespace {

const QString kCaption = QStringLiteral("HTML Help Class");

QString missingText(const QString &path)
{
    return QStringLiteral("The file ") + path +
           QStringLiteral(" does not exist.\nPlease make sure the correct path and file name have been specified.");
}

class HTMLHelpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QDir(m_dir.path()).mkpath(QStringLiteral("bin"));
        QDir(m_dir.path()).mkpath(QStringLiteral("shared"));
        registry = makeSettingsRegistry(m_dir.filePath(QStringLiteral("registry.ini")));
        help = std::make_unique<HTMLHelp>(viewer, dialogs, *registry, files, programDir());
    }

    QString programDir() const { return m_dir.filePath(QStringLiteral("bin")); }
    QString sharedDir() const { return m_dir.filePath(QStringLiteral("shared")); }

    QString touch(const QString &path)
    {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return path;
    }

    QTemporaryDir m_dir;
    RecordingHelpViewer viewer;
    ScriptedDialogs dialogs;
    LocalFileSystem files;
    std::unique_ptr<Registry> registry;
    std::unique_ptr<HTMLHelp> help;
};

} // namespace

TEST_F(HTMLHelpTest, ViewHelpFileShowsContentsThenTheStartPageWithoutOwner)
{
    const QString chm = touch(helpFilePath(programDir()));
    viewHelpFile(*help, programDir());

    ASSERT_EQ(viewer.calls.size(), 2u);
    EXPECT_EQ(viewer.calls[0].command, HelpCommand::DisplayToc);
    EXPECT_EQ(viewer.calls[1].command, HelpCommand::DisplayTopic);
    EXPECT_EQ(viewer.calls[1].data, HelpData(QStringLiteral("about.html")));
    for (const auto &call : viewer.calls) {
        EXPECT_EQ(call.owner, 0u);
        EXPECT_EQ(call.file, chm);
    }
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(help->HHWndHandle(), viewer.answer);
}

TEST_F(HTMLHelpTest, ViewHelpFileWithTheFileMissingWarnsOncePerDisplayCall)
{
    viewHelpFile(*help, programDir());

    EXPECT_TRUE(viewer.calls.empty());
    ASSERT_EQ(dialogs.messages.size(), 2u);
    for (const auto &m : dialogs.messages) {
        EXPECT_EQ(m.text, missingText(helpFilePath(programDir())));
        EXPECT_EQ(m.title, kCaption);
        EXPECT_EQ(m.icon, MessageIcon::Exclamation);
    }
}

TEST_F(HTMLHelpTest, UnloadClosesEveryHelpWindow)
{
    closeHelp(*help);
    ASSERT_EQ(viewer.calls.size(), 1u);
    EXPECT_EQ(viewer.calls[0].command, HelpCommand::CloseAll);
    EXPECT_EQ(viewer.calls[0].owner, 0u);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(HTMLHelpTest, OnlyNamesEndingInChmAreHelpFiles)
{
    struct Case {
        const char *name;
        bool valid;
    };
    const Case cases[] = {
        {"Romwright.CHM", true}, {"romwright.chm", true}, {"x.ChM", true}, {"xchm", true},
        {"Romwright.chx", false}, {"Romwright.chm ", false}, {"Romwright.htm", false}, {"", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = QDir(programDir()).filePath(QString::fromLatin1(c.name));
        if (c.valid)
            touch(path);
        viewer.calls.clear();
        dialogs.messages.clear();
        help->setCHMFile(path);
        help->HHDisplayContents();
        if (c.valid) {
            EXPECT_EQ(viewer.calls.size(), 1u);
            EXPECT_TRUE(dialogs.messages.empty());
        } else {
            EXPECT_TRUE(viewer.calls.empty());
            ASSERT_EQ(dialogs.messages.size(), 1u);
            EXPECT_EQ(dialogs.messages[0].text, path + QStringLiteral(" is not a valid HTML Help file."));
            EXPECT_EQ(dialogs.messages[0].title, kCaption);
            EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Exclamation);
        }
    }
}

TEST_F(HTMLHelpTest, ViewHelpFileWithAnInvalidNameWarnsTwiceAndOpensNothing)
{
    help->setCHMFile(QDir(programDir()).filePath(QStringLiteral("Romwright.txt")));
    help->HHDisplayContents();
    help->HHDisplayTopicURL();
    EXPECT_TRUE(viewer.calls.empty());
    EXPECT_EQ(dialogs.messages.size(), 2u);
}

TEST_F(HTMLHelpTest, EachDisplayOperationSendsItsCommandAndData)
{
    const QString chm = touch(QDir(programDir()).filePath(QStringLiteral("Guide.chm")));
    help->setCHMFile(chm);
    help->setHHTopicURL(QStringLiteral("ports.html#linux"));
    help->setHHTopicID(42);
    help->setHHALink(QStringLiteral("lamps"));

    struct Case {
        const char *what;
        void (HTMLHelp::*op)(WindowHandle);
        HelpCommand command;
        HelpData data;
    };
    HelpLinkQuery alink;
    alink.keywords = QStringLiteral("lamps");
    const Case cases[] = {
        {"topic URL", &HTMLHelp::HHDisplayTopicURL, HelpCommand::DisplayTopic, QStringLiteral("ports.html#linux")},
        {"topic ID", &HTMLHelp::HHDisplayTopicID, HelpCommand::HelpContext, std::uint32_t(42)},
        {"search", &HTMLHelp::HHDisplaySearch, HelpCommand::DisplaySearch, HelpSearchQuery{QString(), true}},
        {"index", &HTMLHelp::HHDisplayIndex, HelpCommand::DisplayIndex, std::monostate{}},
        {"contents", &HTMLHelp::HHDisplayContents, HelpCommand::DisplayToc, std::monostate{}},
        {"alink", &HTMLHelp::HHDisplayALink, HelpCommand::ALinkLookup, alink},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        viewer.calls.clear();
        (help.get()->*c.op)(77);
        ASSERT_EQ(viewer.calls.size(), 1u);
        EXPECT_EQ(viewer.calls[0].command, c.command);
        EXPECT_EQ(viewer.calls[0].data, c.data);
        EXPECT_EQ(viewer.calls[0].file, chm);
        EXPECT_EQ(viewer.calls[0].owner, 0u);
    }
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(HTMLHelpTest, WindowTypeAndOwnerFollowTheirProperties)
{
    const QString chm = touch(QDir(programDir()).filePath(QStringLiteral("Guide.chm")));
    help->setCHMFile(chm);
    struct Case {
        const char *window;
        bool onTop;
        const char *fileSuffix;
        WindowHandle owner;
    };
    const Case cases[] = {
        {"", false, "", 0}, {"   ", false, "", 0}, {"main", false, ">main", 0}, {"main", true, ">main", 99},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.window);
        viewer.calls.clear();
        help->setHHWindow(QString::fromLatin1(c.window));
        help->setHHShowOnTop(c.onTop);
        help->HHDisplayIndex(99);
        ASSERT_EQ(viewer.calls.size(), 1u);
        EXPECT_EQ(viewer.calls[0].file, chm + QString::fromLatin1(c.fileSuffix));
        EXPECT_EQ(viewer.calls[0].owner, c.owner);
    }
}

TEST_F(HTMLHelpTest, KeywordLookUpOpensTheFileFirstAndPassesEmptyTextsAsNone)
{
    const QString chm = touch(QDir(programDir()).filePath(QStringLiteral("Guide.chm")));
    help->setCHMFile(chm);
    help->setHHKeyword(QStringLiteral("port;lamp"));
    help->setHHMsgText(QStringLiteral("Nothing found"));
    help->setHHWindow(QStringLiteral("  "));
    help->HHDisplayKeyword();

    ASSERT_EQ(viewer.calls.size(), 2u);
    EXPECT_EQ(viewer.calls[0].command, HelpCommand::DisplayTopic);
    EXPECT_EQ(viewer.calls[0].data, HelpData(std::monostate{}));
    EXPECT_EQ(viewer.calls[1].command, HelpCommand::KeywordLookup);
    HelpLinkQuery expected;
    expected.keywords = QStringLiteral("port;lamp");
    expected.msgText = QStringLiteral("Nothing found");
    EXPECT_EQ(viewer.calls[1].data, HelpData(expected));
}

TEST_F(HTMLHelpTest, WindowHandleOfAFreshObjectWarnsAndIsZero)
{
    EXPECT_EQ(help->HHWndHandle(), 0u);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("No HTML Help window handle to retrieve."));
    EXPECT_EQ(dialogs.messages[0].title, kCaption);
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Exclamation);
}

TEST_F(HTMLHelpTest, SetHelpFileChoosesByNumber)
{
    const QString library = QDir(programDir()).filePath(QStringLiteral("Library.chm"));
    const std::pair<std::int16_t, QString> cases[] = {
        {1, library}, {2, QStringLiteral("Library.txt")}, {3, QString()}, {0, QString()}, {-1, QString()},
    };
    for (const auto &[n, expected] : cases)
        EXPECT_EQ(help->HHSetHelpFile(n), expected) << n;
}

TEST_F(HTMLHelpTest, BareNamesAreFoundThroughTheRegistryOrElseInTheProgramFolder)
{
    touch(QDir(programDir()).filePath(QStringLiteral("Local.chm")));
    QString name = QStringLiteral("Local.chm");
    EXPECT_TRUE(help->EnsureFileExists(name));
    EXPECT_EQ(name, joinPath(programDir(), QStringLiteral("Local.chm")));

    // A registered folder wins over the program folder.
    touch(QDir(sharedDir()).filePath(QStringLiteral("Shared.chm")));
    touch(QDir(programDir()).filePath(QStringLiteral("Shared.chm")));
    registry->setValue(RegistryRoot::LocalMachine, HTMLHelp::kRegistrationKey, QStringLiteral("Shared.chm"),
                       QStringLiteral("\"") + sharedDir() + QStringLiteral("\""));
    name = QStringLiteral("Shared.chm");
    EXPECT_TRUE(help->EnsureFileExists(name));
    EXPECT_EQ(name, joinPath(sharedDir(), QStringLiteral("Shared.chm")));
    EXPECT_TRUE(dialogs.messages.empty());

    name = QStringLiteral("Nowhere.chm");
    EXPECT_FALSE(help->EnsureFileExists(name));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, missingText(joinPath(programDir(), QStringLiteral("Nowhere.chm"))));

    // The display call then names the file by its full path.
    help->setCHMFile(QStringLiteral("Shared.chm"));
    help->HHDisplayContents();
    ASSERT_EQ(viewer.calls.size(), 1u);
    EXPECT_EQ(viewer.calls[0].file, joinPath(sharedDir(), QStringLiteral("Shared.chm")));
}

TEST_F(HTMLHelpTest, RegistrationRoundTrip)
{
    const QString chm = touch(QDir(sharedDir()).filePath(QStringLiteral("Guide.chm")));

    help->HHCheckRegistry(chm);
    EXPECT_TRUE(help->HHRegFileName().isEmpty());
    EXPECT_FALSE(help->HHRegFileExists());

    help->HHRegister(chm);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(help->HHRegFileName(), QStringLiteral("Guide.chm"));
    EXPECT_EQ(help->HHRegFilePath(), sharedDir());
    EXPECT_TRUE(help->HHRegFileExists());

    // A second object over the same registry sees the registration by name alone.
    auto again = makeSettingsRegistry(m_dir.filePath(QStringLiteral("registry.ini")));
    HTMLHelp other(viewer, dialogs, *again, files, programDir());
    other.HHCheckRegistry(QStringLiteral("Guide.chm"));
    EXPECT_EQ(other.HHRegFilePath(), sharedDir());

    help->HHRegister(chm);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("The file ") + chm +
                                            QStringLiteral(" is already registered.  HHRegister will not be run "
                                                           "as no action need be taken."));
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Information);

    QFile::remove(chm);
    help->HHCheckRegistry(chm);
    EXPECT_EQ(help->HHRegFileName(), QStringLiteral("Guide.chm"));
    EXPECT_FALSE(help->HHRegFileExists());

    dialogs.messages.clear();
    help->HHUnRegister(chm);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(help->HHRegFileName().isEmpty());
    EXPECT_TRUE(help->HHRegFilePath().isEmpty());

    help->HHUnRegister(chm);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("The file ") + chm +
                                            QStringLiteral(" is not registered.  HHUnRegister will not be run as "
                                                           "no action need be taken."));
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Information);
}

TEST_F(HTMLHelpTest, RegisterRefusesFilesItCannotRecord)
{
    struct Case {
        QString file;
        QString message;
    };
    const QString missing = QDir(sharedDir()).filePath(QStringLiteral("Missing.chm"));
    const Case cases[] = {
        {QStringLiteral("Guide.chm"),
         QStringLiteral("Cannot register Guide.chm without having a supplied path.\"")},
        {missing, missingText(missing)},
        {QStringLiteral("notes.txt"), QStringLiteral("notes.txt is not a valid HTML Help file.")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        dialogs.messages.clear();
        help->HHRegister(c.file);
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].text, c.message);
        EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Exclamation);
        EXPECT_FALSE(registry->keyExists(RegistryRoot::LocalMachine, HTMLHelp::kRegistrationKey));
    }
}

TEST_F(HTMLHelpTest, PopupFontDescription)
{
    struct Case {
        const char *face, *size;
        bool bold, italic, underline;
        const char *expected;
    };
    const Case cases[] = {
        {"", "", false, false, false, "Arial, 10, ascii, "},
        {"Verdana", "12", true, false, false, "Verdana, 12, ascii, Bold "},
        {"", "", true, true, true, "Arial, 10, ascii, Bold Italic Underline"},
        {"Courier", "", false, true, true, "Courier, 10, ascii, Italic Underline"},
    };
    for (const auto &c : cases) {
        help->setHHPopupTextFont(QString::fromLatin1(c.face));
        help->setHHPopupTextSize(QString::fromLatin1(c.size));
        help->setHHPopupTextBold(c.bold);
        help->setHHPopupTextItalic(c.italic);
        help->setHHPopupTextUnderline(c.underline);
        EXPECT_EQ(help->popupFontDescription(), QString::fromLatin1(c.expected));
    }
}

TEST_F(HTMLHelpTest, PopupsBySource)
{
    const QString chm = touch(QDir(programDir()).filePath(QStringLiteral("Guide.chm")));
    help->setCHMFile(chm);
    help->setHHPopupID(7);
    help->setHHPopupTextColor(0x000000);
    help->setHHPopupBackColor(0xFFFFFF);
    help->setHHPopupCustomTextColor(0x0000FF);
    help->setHHPopupCustomBackColor(0x00FFFF);

    // Literal text, in the custom colours, at the mouse.
    help->setHHPopupType(4);
    help->setHHPopupCustomColors(true);
    help->setHHPopupText(QStringLiteral("The port lamp"));
    help->HHDisplayPopup();
    ASSERT_EQ(viewer.calls.size(), 1u);
    const auto &literal = std::get<HelpPopup>(viewer.calls[0].data);
    EXPECT_EQ(literal.text, QStringLiteral("The port lamp"));
    EXPECT_EQ(literal.position, viewer.cursor);
    EXPECT_EQ(literal.foreground, 0x0000FFu);
    EXPECT_EQ(literal.background, 0x00FFFFu);
    EXPECT_EQ(literal.marginLeft, -1);
    EXPECT_EQ(literal.font, QStringLiteral("Arial, 10, ascii, "));

    // A text file inside the help file, in the normal colours.
    viewer.calls.clear();
    help->setHHPopupCustomColors(false);
    help->setHHPopupType(1);
    help->setHHPopupFile(QStringLiteral("popups.txt"));
    help->HHDisplayPopup();
    ASSERT_EQ(viewer.calls.size(), 1u);
    EXPECT_EQ(viewer.calls[0].file, chm + QStringLiteral("::/popups.txt"));
    EXPECT_EQ(std::get<HelpPopup>(viewer.calls[0].data).resourceId, 7u);
    EXPECT_EQ(std::get<HelpPopup>(viewer.calls[0].data).background, 0xFFFFFFu);

    // Nothing for an empty literal text or an unknown source; a warning for a bad pop-up file.
    viewer.calls.clear();
    help->setHHPopupType(4);
    help->setHHPopupText(QString());
    help->HHDisplayPopup();
    help->setHHPopupType(3);
    help->HHDisplayPopup();
    help->setHHPopupType(1);
    help->setHHPopupFile(QStringLiteral("popups.htm"));
    help->HHDisplayPopup();
    EXPECT_TRUE(viewer.calls.empty());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("The file specified as the text popup source, 'popups.htm', is not a valid popup file."));
}

TEST_F(HTMLHelpTest, SystemMenuAndWhatsThisGoToTheGivenWindow)
{
    help->HHDeleteJumpURLSysMenu(0x55);
    help->HHInvokeWhatsThisHelp(0x66);
    ASSERT_EQ(viewer.deletedMenuItems.size(), 1u);
    EXPECT_EQ(viewer.deletedMenuItems[0], std::make_pair(WindowHandle(0x55), 61439));
    EXPECT_EQ(viewer.whatsThisWindows, std::vector<WindowHandle>{0x66});
}

namespace {
const QString kViewerKey = QStringLiteral("CLSID\\{4662DAB0-D393-11D0-9A56-00C04FB68B66}\\InprocServer32");
const QString kBrowserKey = QStringLiteral("CLSID\\{0A89A860-D7B1-11CE-8350-444553540000}\\InProcServer32");
} // namespace

TEST_F(HTMLHelpTest, ComponentChecksTellMissingFromMisplaced)
{
    EXPECT_TRUE(help->HHVersion().isEmpty());
    EXPECT_TRUE(help->IEVersion().isEmpty());
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("Hhctrl.ocx is not registered.  Please install HTML Help."));
    EXPECT_EQ(dialogs.messages[1].text,
              QStringLiteral("Shdocvw.dll is not registered.  Please install Internet Explorer."));
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Critical);
    EXPECT_EQ(dialogs.messages[0].title, kCaption);

    dialogs.messages.clear();
    registry->setValue(RegistryRoot::ClassesRoot, kViewerKey, QString(), sharedDir() + QStringLiteral("/hh.ocx"));
    registry->setValue(RegistryRoot::ClassesRoot, kBrowserKey, QString(), sharedDir() + QStringLiteral("/sd.dll"));
    help->HHVersion();
    help->IEVersion();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("Hhctrl.ocx is not in its registered location.  Please reinstall HTML Help."));
    EXPECT_EQ(dialogs.messages[1].text, QStringLiteral("Internet Explorer is not in its registered location.  "
                                                       "Please reinstall Internet Explorer."));

    dialogs.messages.clear();
    const QString ocx = touch(sharedDir() + QStringLiteral("/hh.ocx"));
    viewer.versions[ocx] = QStringLiteral("4.74.8702.00");
    EXPECT_EQ(help->HHVersion(), QStringLiteral("4.74.8702.00"));
    EXPECT_EQ(help->HHFriendlyName(), QStringLiteral("1.3"));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(HTMLHelpTest, FriendlyNamesAndMinimumVersions)
{
    const QString ocx = touch(sharedDir() + QStringLiteral("/hh.ocx"));
    const QString dll = touch(sharedDir() + QStringLiteral("/sd.dll"));
    registry->setValue(RegistryRoot::ClassesRoot, kViewerKey, QString(), ocx);
    registry->setValue(RegistryRoot::ClassesRoot, kBrowserKey, QString(), dll);

    struct Case {
        const char *viewerVersion, *browserVersion;
        int minViewer, minBrowser;
        bool ok;
        const char *viewerName, *browserName;
    };
    const Case cases[] = {
        // Oldest and newest known releases, each just meeting its own minimum.
        {"4.72.7290.00", "4.70.1155.0000", 16, 256, true, "1.0", "3.0"},
        {"4.74.8702.00", "5.50.3825.1300", 26, 275, true, "1.3", "5.5 Platform Preview"},
        {"4.72.7290.00", "5.50.3825.1300", 17, 256, false, "1.0", "5.5 Platform Preview"},
        {"4.74.8702.00", "4.70.1155.0000", 16, 257, false, "1.3", "3.0"},
        // Later releases than the tables know still meet every minimum.
        {"10.0.19041.1", "11.0.19041.1", 26, 275, true, "unknown", "unknown"},
        // Codes outside the tables fail their half and leave no version.
        {"4.74.8702.00", "5.50.3825.1300", 15, 275, false, "unknown", "5.5 Platform Preview"},
        {"4.74.8702.00", "5.50.3825.1300", 26, 276, false, "1.3", "unknown"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.viewerVersion) + " " + c.browserVersion);
        viewer.versions[ocx] = QString::fromLatin1(c.viewerVersion);
        viewer.versions[dll] = QString::fromLatin1(c.browserVersion);
        EXPECT_EQ(help->HHVerifyMinConfig(c.minViewer, c.minBrowser), c.ok);
        EXPECT_EQ(help->HHFriendlyName(), QString::fromLatin1(c.viewerName));
        EXPECT_EQ(help->IEFriendlyName(), QString::fromLatin1(c.browserName));
    }
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(HTMLHelpTest, InstalledWhenTheTypeLibraryKeyIsThere)
{
    EXPECT_FALSE(help->HHInstalled());
    registry->setValue(RegistryRoot::LocalMachine,
                       QStringLiteral("SOFTWARE\\Classes\\TypeLib\\{ADB880A2-D8FF-11CF-9377-00AA003B7A11}\\1.0"),
                       QString(), QStringLiteral("HHCtrl"));
    EXPECT_TRUE(help->HHInstalled());
}
