#include "app/shell/FileMessages.h"
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

TEST_F(FindFileTest, ShowsTheChosenNameLoadsTheWholePathAndKeepsTheLastFilter)
{
    const struct {
        const char *model;
        const char *answer; // "" cancels
        const char *request;
        const char *label;
    } steps[] = {
        {"Scanner Not Found", "", "Open||/opt/romwright", "None"},
        {"Jorlith 750", "/home/tech/firmware/JL750Ver5_9.s19", "Open|Jorlith Firmware Files|J*.S19|/opt/romwright",
         "JL750Ver5_9.s19"},
        {"", "C:\\firmware\\JL750Ver5_8.s19", "Open|Jorlith Firmware Files|J*.S19|/opt/romwright", "JL750Ver5_8.s19"},
        {"Jorlith 750", "", "Open|Jorlith Firmware Files|J*.S19|/opt/romwright", "JL750Ver5_8.s19"},
    };
    QStringList expectedOpened;
    for (const auto &step : steps) {
        SCOPED_TRACE(step.answer);
        view.setText(LabelId::ScanMod, QLatin1String(step.model));
        dialogs.openAnswers.push_back(QLatin1String(step.answer));
        run();
        if (*step.answer)
            expectedOpened << QLatin1String(step.answer);
        EXPECT_EQ(dialogs.openRequests.last(), QLatin1String(step.request));
        EXPECT_EQ(view.text(LabelId::FirmFile), QLatin1String(step.label));
        EXPECT_EQ(opened, expectedOpened);
    }
}

TEST(ShowFileOpen, LampProgramAndMessagesFollowTheReadsInOrder)
{
    const FileRead valid{FileCheck::Valid, "/opt/FlashProgrammer.sss", 0, {}};
    const FileRead noData{FileCheck::NoData, "/opt/bootloader.sss", 0, {}};
    const FileRead missing{FileCheck::Missing, "/opt/bootloader.sss", 0, {}};
    const FileRead damaged{FileCheck::Damaged, "C:\\fw\\%1%2.s19", 7, "the checksum does not match"};
    const QString missingText = QString::fromLatin1(kMissingFileMessage);
    const QString damagedText = "The file %1%2.s19 is damaged and cannot be used (line 7: the checksum does not match).";
    const struct {
        const char *name;
        FileOpenResult result;
        Lamp before;
        Lamp lamp;
        QStringList messages;
    } cases[] = {
        {"all valid", {valid, valid, valid}, Lamp::Grey, Lamp::Green, {}},
        {"a loader without data", {valid, noData, valid}, Lamp::Grey, Lamp::Red, {}},
        {"missing after a good load", {valid, missing, {}}, Lamp::Green, Lamp::Red, {missingText}},
        {"missing at the first load", {valid, missing, {}}, Lamp::Grey, Lamp::Grey, {missingText}},
        {"damaged, then missing", {damaged, valid, {FileCheck::Missing, "/fw.s19", 0, {}}}, Lamp::Grey, Lamp::Red,
         {damagedText, missingText}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ViewState view;
        ScriptedDialogs dialogs;
        view.setLamp(LampId::FileOk, c.before);
        showFileOpen(c.result, view, dialogs);
        EXPECT_EQ(view.lamp(LampId::FileOk), c.lamp);
        EXPECT_EQ(view.isEnabled(ControlId::ProgramButton), c.lamp == Lamp::Green);
        QStringList shown;
        for (const auto &m : dialogs.messages) {
            shown << m.text;
            EXPECT_EQ(m.title, "Romwright");
            EXPECT_EQ(m.icon, m.text == missingText ? MessageIcon::None : MessageIcon::Exclamation);
        }
        EXPECT_EQ(shown, c.messages);
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
