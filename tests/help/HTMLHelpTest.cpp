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

    // Creates an empty file NAME in DIR and returns its path.
    QString touch(const QString &dir, const QString &name)
    {
        QFile f(QDir(dir).filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return f.fileName();
    }

    // Exactly one message was shown since the last call, with this text and icon.
    void expectOneMessage(const QString &text, MessageIcon icon = MessageIcon::Exclamation)
    {
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].text, text);
        EXPECT_EQ(dialogs.messages[0].title, kCaption);
        EXPECT_EQ(dialogs.messages[0].icon, icon);
        dialogs.messages.clear();
    }

    QTemporaryDir m_dir;
    RecordingHelpViewer viewer;
    ScriptedDialogs dialogs;
    LocalFileSystem files;
    std::unique_ptr<Registry> registry;
    std::unique_ptr<HTMLHelp> help;
};

} // namespace

TEST_F(HTMLHelpTest, OnlyNamesEndingInChmAreHelpFiles)
{
    const std::pair<const char *, bool> cases[] = {
        {"Romwright.CHM", true}, {"romwright.chm", true}, {"x.ChM", true}, {"xchm", true},
        {"Romwright.chx", false}, {"Romwright.chm ", false}, {"Romwright.htm", false}, {"", false},
    };
    for (const auto &[name, valid] : cases) {
        SCOPED_TRACE(name);
        const QString path = QDir(programDir()).filePath(QString::fromLatin1(name));
        if (valid)
            touch(programDir(), QString::fromLatin1(name));
        viewer.calls.clear();
        help->setCHMFile(path);
        help->HHDisplayContents();
        EXPECT_EQ(viewer.calls.size(), valid ? 1u : 0u);
        if (valid)
            EXPECT_TRUE(dialogs.messages.empty());
        else
            expectOneMessage(path + QStringLiteral(" is not a valid HTML Help file."));
    }
}

TEST_F(HTMLHelpTest, BareNamesAreFoundThroughTheRegistryOrElseInTheProgramFolder)
{
    touch(programDir(), QStringLiteral("Local.chm"));
    QString name = QStringLiteral("Local.chm");
    EXPECT_TRUE(help->EnsureFileExists(name));
    EXPECT_EQ(name, joinPath(programDir(), QStringLiteral("Local.chm")));

    // A registered folder wins over the program folder.
    const QString shared = touch(sharedDir(), QStringLiteral("Shared.chm"));
    touch(programDir(), QStringLiteral("Shared.chm"));
    registry->setValue(RegistryRoot::LocalMachine, HTMLHelp::kRegistrationKey, QStringLiteral("Shared.chm"),
                       QStringLiteral("\"") + sharedDir() + QStringLiteral("\""));
    name = QStringLiteral("Shared.chm");
    EXPECT_TRUE(help->EnsureFileExists(name));
    EXPECT_EQ(name, shared);
    EXPECT_TRUE(dialogs.messages.empty());

    name = QStringLiteral("Nowhere.chm");
    EXPECT_FALSE(help->EnsureFileExists(name));
    expectOneMessage(missingText(joinPath(programDir(), QStringLiteral("Nowhere.chm"))));

    // The display call then names the file by its full path.
    help->setCHMFile(QStringLiteral("Shared.chm"));
    help->HHDisplayContents();
    ASSERT_EQ(viewer.calls.size(), 1u);
    EXPECT_EQ(viewer.calls[0].file, shared);
}

TEST_F(HTMLHelpTest, RegistrationRoundTrip)
{
    const QString chm = touch(sharedDir(), QStringLiteral("Guide.chm"));
    help->HHRegister(chm);
    EXPECT_TRUE(dialogs.messages.empty());
    // A second object over the same registry file sees the registration by name alone.
    auto again = makeSettingsRegistry(m_dir.filePath(QStringLiteral("registry.ini")));
    HTMLHelp other(viewer, dialogs, *again, files, programDir());
    other.HHCheckRegistry(QStringLiteral("Guide.chm"));
    EXPECT_EQ(other.HHRegFilePath(), sharedDir());

    help->HHRegister(chm);
    expectOneMessage(QStringLiteral("The file ") + chm +
                         QStringLiteral(" is already registered.  HHRegister will not be run as no action need be taken."),
                     MessageIcon::Information);
    QFile::remove(chm);
    help->HHCheckRegistry(chm);
    EXPECT_FALSE(help->HHRegFileExists());
    help->HHUnRegister(chm);
    EXPECT_TRUE(dialogs.messages.empty());
    help->HHUnRegister(chm);
    expectOneMessage(QStringLiteral("The file ") + chm +
                         QStringLiteral(" is not registered.  HHUnRegister will not be run as no action need be taken."),
                     MessageIcon::Information);
}

TEST_F(HTMLHelpTest, RegisterRefusesFilesItCannotRecord)
{
    const QString missing = QDir(sharedDir()).filePath(QStringLiteral("Missing.chm"));
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("Guide.chm"), QStringLiteral("Cannot register Guide.chm without having a supplied path.\"")},
        {missing, missingText(missing)},
        {QStringLiteral("notes.txt"), QStringLiteral("notes.txt is not a valid HTML Help file.")},
    };
    for (const auto &[file, message] : cases) {
        SCOPED_TRACE(file.toStdString());
        help->HHRegister(file);
        expectOneMessage(message);
        EXPECT_FALSE(registry->keyExists(RegistryRoot::LocalMachine, HTMLHelp::kRegistrationKey));
    }
}
