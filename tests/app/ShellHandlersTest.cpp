#include "app/shell/FindFile.h"
#include "app/shell/PortPermissionNotice.h"
#include "app/shell/WaitLetterPrompt.h"
#include "app/shell/WindowCommandLine.h"
#include "view/ProgramFlags.h"
#include "view/ViewState.h"
#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

using namespace romwright;
using romwright::test::ScriptedDialogs;

struct CommandLineCase {
    QStringList arguments;
    bool empty;
    QString file, port, model;
};

TEST(WindowCommandLine, SplitsAtEveryComma)
{
    const CommandLineCase cases[] = {
        {{}, true, {}, {}, {}},
        {{"Hlv1450ver5_9.s19,3,Halvern", "1450"}, false, "Hlv1450ver5_9.s19", "3", "Halvern 1450"},
        {{"Hlv1450ver5_9.s19"}, false, "Hlv1450ver5_9.s19", {}, {}},
        {{",3"}, false, {}, "3", {}},
        {{"a,b,c,d"}, false, "a", "b", "c"},
        {{" JL750Ver5_0.s19 ,x"}, false, " JL750Ver5_0.s19 ", "x", {}},
    };
    for (const CommandLineCase &c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char('|')).toStdString());
        const auto parsed = parseWindowCommandLine(c.arguments);
        ASSERT_EQ(!parsed.has_value(), c.empty);
        if (!parsed)
            continue;
        EXPECT_EQ(parsed->file, c.file);
        EXPECT_EQ(parsed->port, c.port);
        EXPECT_EQ(parsed->model, c.model);
    }
}

TEST(FirmwareFilter, ByFirstLetterOfTheModelLabel)
{
    const struct {
        const char *label;
        bool barCode;
        QString filter;
    } cases[] = {
        {"Halvern 1450", false, "Halvern Firmware Files|H*.S19"},
        {"Jorlith 750", true, "Jorlith Firmware Files|J*.S19"},
        {"Wexmoor 3650", false, "Wexmoor Firmware Files|W*.S19"},
        {"Wexmoor 3650", true, "Wexmoor Firmware Files|W*.S20"},
        {"halvern 1450", false, QString()},
        {"Scanner Not Found", false, QString()},
        {"", false, QString()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        const QString filter = firmwareFilter(QString::fromLatin1(c.label), c.barCode);
        EXPECT_EQ(filter, c.filter);
        EXPECT_EQ(filter.isNull(), c.filter.isNull()) << "null keeps the last filter";
    }
}

class FindFileTest : public testing::Test {
protected:
    QString run(bool processorChosen = false)
    {
        return FindFile({view, dialogs, flags, processorChosen, QStringLiteral("/opt/romwright"), &filter,
                         [this](const QString &path) { opened << path; }});
    }
    ViewState view;
    ScriptedDialogs dialogs;
    ProgramFlags flags;
    QString filter;
    QStringList opened;
};

TEST_F(FindFileTest, UnknownModelKeepsTheLastFilter)
{
    view.setText(LabelId::ScanMod, QStringLiteral("Scanner Not Found"));
    run();
    EXPECT_EQ(dialogs.openRequests.value(0), QStringLiteral("Open||/opt/romwright"));

    view.setText(LabelId::ScanMod, QStringLiteral("Jorlith 750"));
    run();
    view.setText(LabelId::ScanMod, QString());
    run();
    EXPECT_EQ(dialogs.openRequests.value(2), QStringLiteral("Open|Jorlith Firmware Files|J*.S19|/opt/romwright"));
}

TEST_F(FindFileTest, CancelChangesNothing)
{
    view.setText(LabelId::FirmFile, QStringLiteral("Hlv1450ver5_9.s19"));
    EXPECT_TRUE(run().isEmpty());
    EXPECT_EQ(view.text(LabelId::FirmFile), QStringLiteral("Hlv1450ver5_9.s19"));
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(FindFileTest, ChosenFileShowsItsNameAndLoadsTheWholePath)
{
    const struct {
        const char *path;
        const char *label;
    } cases[] = {
        {"/home/tech/firmware/JL750Ver5_9.s19", "JL750Ver5_9.s19"},
        {"JL750Ver5_9.s19", "JL750Ver5_9.s19"},
        {"C:\\firmware\\JL750Ver5_9.s19", "JL750Ver5_9.s19"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        opened.clear();
        dialogs.openAnswers.push_back(QString::fromLatin1(c.path));
        run();
        EXPECT_EQ(view.text(LabelId::FirmFile), QLatin1String(c.label));
        EXPECT_EQ(opened, QStringList{QString::fromLatin1(c.path)});
    }
}

TEST(WaitLetterPrompt, ThreeOfVEKInAnyMixThenEveryKey)
{
    ScriptedDialogs dialogs;
    WaitLetterPrompt prompt;
    QString sLetterQ = QStringLiteral("Q");
    dialogs.inputAnswers = {QStringLiteral("A")}; // then Cancel: an empty text, stored as it is
    const struct {
        int key;
        bool asks;
        const char *letter;
    } strokes[] = {{'K', false, "Q"}, {'X', false, "Q"}, {'K', false, "Q"}, {'V', true, "A"}, {Qt::Key_F1, true, ""}};
    for (const auto &stroke : strokes) {
        EXPECT_EQ(prompt.keyReleased(stroke.key, dialogs, sLetterQ), stroke.asks) << stroke.key;
        EXPECT_EQ(sLetterQ, QLatin1String(stroke.letter)) << stroke.key;
    }
    EXPECT_EQ(dialogs.inputPrompts.value(0), QStringLiteral("Enter the letter to wait for.|Q or A?|Q"));
}

TEST(PortPermissionNotice, AdvisesJoiningAGroupOnlyWhereThatIsEnoughAndSafe)
{
    auto refused = [](int port, const char *device, const char *group, bool groupMayReadWrite) {
        return RefusedPort{
            port, {QString::fromLatin1(device), true, false, QString::fromLatin1(group), groupMayReadWrite}};
    };
    const RefusedPort usb = refused(1, "/dev/ttyUSB0", "dialout", true);
    const struct {
        const char *name;
        std::vector<RefusedPort> ports;
        const char *expected; // besides the list of ports
        const char *names;
    } cases[] = {
        {"group may read and write",
         {usb},
         "Add your user to the group \"dialout\"",
         "port COM1 (/dev/ttyUSB0)."},
        {"one group for all",
         {usb, refused(2, "/dev/ttyS0", "dialout", true)},
         "usermod -aG dialout $USER",
         "ports COM1 (/dev/ttyUSB0), COM2 (/dev/ttyS0)."},
        {"group may only write",
         {refused(1, "/dev/pts/3", "tty", false)},
         "udev rule",
         "port COM1 (/dev/pts/3)."},
        {"never root", {refused(1, "/dev/ttyS0", "root", true)}, "udev rule", "(/dev/ttyS0)."},
        {"groups differ", {usb, refused(2, "/dev/ttyS0", "uucp", true)}, "udev rule", "COM2 (/dev/ttyS0)."},
        {"names are not read as placeholders",
         {refused(3, "/dev/%1%2", "%3", true)},
         "usermod -aG %3 $USER",
         "COM3 (/dev/%1%2)."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString text = PortPermissionNotice::text(c.ports);
        EXPECT_TRUE(text.contains(QLatin1String(c.expected))) << text.toStdString();
        EXPECT_TRUE(text.contains(QLatin1String(c.names))) << text.toStdString();
        EXPECT_NE(text.contains(QLatin1String("usermod")), text.contains(QLatin1String("udev")));
    }
    ScriptedDialogs dialogs;
    PortPermissionNotice notice;
    EXPECT_TRUE(notice.show(dialogs, {usb}));
    EXPECT_FALSE(notice.show(dialogs, {usb}));
    EXPECT_EQ(dialogs.messages.size(), 1u);
}
