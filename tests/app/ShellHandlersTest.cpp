#include "app/startup/PortPermissionNotice.h"
#include "app/update/FileMessages.h"
#include "app/update/UpdateInputs.h"
#include "app/window/FindFile.h"
#include "app/window/WaitLetterPrompt.h"
#include "app/window/WindowCommandLine.h"
#include "platform/Registry.h"
#include "support/ScriptedDialogs.h"
#include "view/ViewState.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace romwright;
using romwright::test::ScriptedDialogs;

// A first field with a folder part is a path, opened as it is (made
// absolute); a bare name is looked for in the program's folders. A whole
// line that names a file is that file, commas and all.
TEST(WindowCommandLine, SplitsAtEveryCommaAndTellsAPathFromAName)
{
    QTemporaryDir dir;
    const QString commas = dir.filePath(QStringLiteral("a,3,b.s19"));
    ASSERT_TRUE(QFile(commas).open(QIODevice::WriteOnly));
    const QString here = QDir::currentPath();
    const QString gone = dir.filePath(QStringLiteral("fw/Hlv1450ver5_9.s19"));
    const std::pair<QStringList, QString> cases[] = {
        {{}, nullptr},
        {{"Hlv1450ver5_9.s19,3,Halvern", "1450"}, "Hlv1450ver5_9.s19|3|Halvern 1450|"},
        {{"Hlv1450ver5_9.s19"}, "Hlv1450ver5_9.s19|||"},
        {{",3"}, "|3||"},
        {{"a,b,c,d"}, "a|b|c|"},
        {{" JL750Ver5_0.s19 ,x"}, " JL750Ver5_0.s19 |x||"},
        {{gone + ",3,Halvern", "1450"}, gone + "|3|Halvern 1450|" + gone}, // not there: still this file
        {{"fw/../Hlv1450ver5_9.s19"}, "fw/../Hlv1450ver5_9.s19|||" + here + "/Hlv1450ver5_9.s19"},
        {{commas}, commas + "|||" + commas},
    };
    for (const auto &[arguments, fields] : cases) {
        const auto parsed = parseWindowCommandLine(arguments);
        const QString got =
            parsed ? QStringList({parsed->file, parsed->port, parsed->model, parsed->path}).join('|')
                   : QString();
        EXPECT_EQ(got, fields) << qPrintable(arguments.join('|'));
    }
}

// The Open dialog's filter follows the model label; a label that names no
// family keeps the last filter. Cancel changes nothing.
TEST(FindFile, ShowsTheChosenNameLoadsTheWholePathAndKeepsTheLastFilter)
{
    // model label, BarCode processor, the answer ("" cancels), the filter shown, the file label
    const std::tuple<const char *, bool, const char *, const char *, const char *> steps[] = {
        {"Scanner Not Found", false, "", "", "None"},
        {"Jorlith 750", true, "/fw/JL750Ver5_9.s19", "Jorlith Firmware Files|J*.S19", "JL750Ver5_9.s19"},
        {"", false, "C:\\firmware\\JL750Ver5_8.s19", "Jorlith Firmware Files|J*.S19", "JL750Ver5_8.s19"},
        {"halvern 1450", false, "", "Jorlith Firmware Files|J*.S19", "JL750Ver5_8.s19"},
        {"Wexmoor 3650", false, "", "Wexmoor Firmware Files|W*.S19", "JL750Ver5_8.s19"},
    };
    ViewState view;
    ScriptedDialogs dialogs;
    UpdateInputs inputs(view);
    QString filter;
    QStringList opened, expectedOpened;
    for (const auto &[model, barCode, answer, shownFilter, label] : steps) {
        SCOPED_TRACE(answer);
        inputs.setModel(QLatin1String(model));
        inputs.setBarCode(barCode);
        dialogs.openAnswers.push_back(QLatin1String(answer));
        FindFile({inputs, dialogs, true, QStringLiteral("/opt/romwright"), &filter,
                  [&opened](const QString &path) { opened << path; }});
        if (*answer)
            expectedOpened << QLatin1String(answer);
        const QString filters = *shownFilter ? QStringLiteral("%1|%2").arg(shownFilter, kMoreOpenFilters)
                                             : QString::fromLatin1(kMoreOpenFilters);
        EXPECT_EQ(dialogs.openRequests.last(), QStringLiteral("Open|%1|/opt/romwright").arg(filters));
        EXPECT_EQ(view.text(LabelId::FirmFile), QLatin1String(label));
        EXPECT_EQ(opened, expectedOpened);
    }
}

TEST(ShowFileOpen, LampProgramAndMessagesFollowTheReadsInOrder)
{
    const FileRead valid{FileCheck::Valid, "/opt/FlashProgrammer.sss", 0, {}};
    const FileRead noData{FileCheck::NoData, "/opt/bootloader.sss", 0, {}};
    const FileRead missing{
        FileCheck::Missing, "/opt/bootloader.sss", 0, {}, {}, {"/opt", "/home/u/data", "/usr/share/rw"},
        "/home/u/data"};
    const QString fw = QDir::rootPath() + QStringLiteral("home/u/fw"); // "C:/home/u/fw" on Windows
    FileRead missingRamLoader = missing;
    missingRamLoader.path = "/opt/FlashProgrammer.sss";
    const FileRead missingFirmware{FileCheck::Missing, fw + "/Hlv1450ver5_9.s19", 0, {}};
    const FileRead damaged{FileCheck::Damaged, "C:\\fw\\%1%2.s19", 7, "the checksum does not match"};
    // Named with where it was looked for and where it goes: no reinstall brings a loader.
    // The folders as the system writes them.
    const QString gone = QDir::toNativeSeparators(
        "The loader file bootloader.sss was not found. Romwright looked for it in: /opt, "
        "/home/u/data, /usr/share/rw. The loader files come from the scanner's maker with the "
        "firmware: put bootloader.sss in /home/u/data and try again.");
    const QString goneBoth = QDir::toNativeSeparators(
        "The loader files FlashProgrammer.sss and bootloader.sss were not found. Romwright looked for them "
        "in: /opt, /home/u/data, /usr/share/rw. The loader files come from the scanner's maker with the "
        "firmware: put FlashProgrammer.sss and bootloader.sss in /home/u/data and try again.");
    const QString goneFirmware = "The firmware file Hlv1450ver5_9.s19 was not found in " +
                                 QDir::toNativeSeparators(fw) +
                                 ". Put it back there or choose another firmware file, and try again.";
    const QString empty = "The file bootloader.sss holds no firmware records.";
    const QString broken =
        "The file %1%2.s19 is damaged and cannot be used (line 7: the checksum does not match).";
    const std::tuple<const char *, FileOpenResult, Lamp, Lamp, QStringList> cases[] = {
        {"all valid", {valid, valid, valid}, Lamp::Grey, Lamp::Green, {}},
        {"a loader without data", {valid, noData, valid}, Lamp::Grey, Lamp::Red, {empty}},
        {"damaged, then missing", {damaged, missing, {}}, Lamp::Grey, Lamp::Red, {broken, gone}},
        {"both loaders missing: one message",
         {missingRamLoader, missing, {}},
         Lamp::Grey,
         Lamp::Red,
         {goneBoth}},
        {"the firmware missing", {valid, valid, missingFirmware}, Lamp::Green, Lamp::Red, {goneFirmware}},
    };
    for (const auto &[name, result, before, lamp, messages] : cases) {
        SCOPED_TRACE(name);
        ViewState view;
        ScriptedDialogs dialogs;
        view.setLamp(LampId::FileOk, before);
        showFileOpen(result, view, dialogs);
        EXPECT_EQ(view.lamp(LampId::FileOk), lamp);
        EXPECT_EQ(view.isControlEnabled(ControlId::ProgramButton), lamp == Lamp::Green);
        QStringList shown;
        for (const auto &m : dialogs.messages) {
            shown << m.text;
            EXPECT_TRUE(m.title == "Romwright" && m.icon == MessageIcon::Exclamation) << qPrintable(m.text);
        }
        EXPECT_EQ(shown, messages);
    }
}

TEST(WaitLetterPrompt, ThreeOfVEKInAnyMixThenEveryKey)
{
    ScriptedDialogs dialogs;
    WaitLetterPrompt prompt;
    QString sLetterQ = QStringLiteral("Q");
    dialogs.inputAnswers = {QStringLiteral("A")}; // then Cancel: an empty text, stored as it is
    const std::tuple<int, bool, const char *> strokes[] = {
        {'K', false, "Q"}, {'X', false, "Q"}, {'K', false, "Q"}, {'V', true, "A"}, {Qt::Key_F1, true, ""}};
    for (const auto &[key, asks, letter] : strokes) {
        EXPECT_EQ(prompt.keyReleased(key, dialogs, sLetterQ), asks) << key;
        EXPECT_EQ(sLetterQ, QLatin1String(letter)) << key;
    }
    EXPECT_EQ(dialogs.inputPrompts.value(0), QStringLiteral("Enter the letter to wait for.|Q or A?|Q"));
}

TEST(PortPermissionNotice, AdvisesJoiningAGroupOnlyWhereThatIsEnoughAndSafe)
{
    auto refused = [](int port, const char *device, const char *group, bool groupMayReadWrite) {
        return RefusedPort{port, {device, true, false, group, groupMayReadWrite}};
    };
    const RefusedPort usb = refused(1, "/dev/ttyUSB0", "dialout", true);
    const RefusedPort ttyS0 = refused(2, "/dev/ttyS0", "dialout", true);
    // clang-format off
    const std::tuple<const char *, std::vector<RefusedPort>, const char *, const char *> cases[] = {
        {"read and write", {usb}, "Add your user to the group \"dialout\"", "port /dev/ttyUSB0 (port 1)."},
        {"one group", {usb, ttyS0}, "usermod -aG dialout", "ports /dev/ttyUSB0 (port 1), /dev/ttyS0 (port 2)."},
        {"write only", {refused(1, "/dev/pts/3", "tty", false)}, "udev rule", "port /dev/pts/3 (port 1)."},
        {"never root", {refused(1, "/dev/ttyS0", "root", true)}, "udev rule", "/dev/ttyS0 (port 1)."},
        {"groups differ", {usb, refused(2, "/dev/ttyS0", "uucp", true)}, "udev rule", "/dev/ttyS0 (port 2)."},
        {"no placeholders", {refused(3, "/dev/%1%2", "%3", true)}, "-aG %3 $USER", "/dev/%1%2 (port 3)."},
    };
    // clang-format on
    for (const auto &[name, ports, advice, names] : cases) {
        const QString text = PortPermissionNotice::text(ports);
#ifdef Q_OS_WIN
        const bool named = true; // COMn alone there, whatever the device
#else
        const bool named = text.contains(QLatin1String(names));
#endif
        EXPECT_TRUE(text.contains(QLatin1String(advice)) && named) << name << ": " << qPrintable(text);
        EXPECT_NE(text.contains(QLatin1String("usermod")), text.contains(QLatin1String("udev"))) << name;
    }
    ScriptedDialogs dialogs;
    PortPermissionNotice notice;
    EXPECT_TRUE(notice.show(dialogs, {usb}) && !notice.show(dialogs, {usb})); // once in a run
    EXPECT_EQ(dialogs.messages.size(), 1u);
}
