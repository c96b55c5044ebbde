// What the window shows when an update cannot be done or fails, against
// romwright-sim on a pseudo-terminal: the lamps, the status line, PROGRAM and
// the message, all taken while the message is up.
#include "WindowRig.h"
#include "app/window/LampWidget.h"
#include "platform/PortMap.h"
#include "platform/PosixSerialPort.h"
#include "support/SimProcess.h"
#include "support/TestPaths.h"

#include <QFile>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace romwright;
using namespace std::chrono_literals;
using romwright::test::SimProcess;

namespace {

// clang-format off
const std::pair<LampId, const char *> kLamps[] = {{LampId::ComStatus, "ComStatusLite"}, {LampId::FileOk, "FileOkLite"},
    {LampId::Communication, "CommunicationLite"}, {LampId::FlashErase, "FlashEraseLite"},
    {LampId::Working, "WorkingLite"}, {LampId::Program, "ProgramLite"}};
// clang-format on

struct Seen {
    QString message;
    MessageIcon icon = MessageIcon::None;
    QString status;
    std::map<LampId, QString> lamps; // as a screen reader says them
    bool program = false;
};

// One row per way of failing. Files: where the program and its data are
// ("" the samples); file: the command line's first field or, with a
// folder, a path. The last message must name what it is about.
struct Row {
    const char *what;
    QStringList sim;
    std::vector<const char *> files;
    QString file;
    QString port;
    bool program;
    std::map<LampId, const char *> lamps; // the rest stay as they were
    QString named;
    const char *status; // the start of the status line
};

} // namespace

// Each failure turns the lamp of what failed red with its cross, ends the
// blocks' beat, says it in a message with a warning or critical icon that
// names the file or the port, and leaves no wait on the status line behind
// that message. With ROMWRIGHT_SHOTS set, each row's window is saved there
// as it looks under its message.
TEST(WindowFailures, EachFailureIsShownByItsLampStatusAndMessage)
{
    PosixSerialPort::setPseudoTerminalQuiet(200ms);
    const QStringList scanner{"--model", "halvern", "--boot", "Q"};
    const auto failed = [](LampId id) { return std::pair{id, "failed"}; };
    const char *const firmware = "Hlv1450ver5_9.s19";
    // clang-format off
    const Row rows[] = {
        {"missing loader", scanner, {firmware}, firmware, "1", false, {failed(LampId::FileOk)},
         "FlashProgrammer.sss", ""},
        {"missing firmware", scanner, {"FlashProgrammer.sss", "bootloader.sss"}, "/gone/Hlv1450ver5_9.s19",
         "1", false, {failed(LampId::FileOk)}, firmware, ""},
        {"damaged file", scanner, {"FlashProgrammer.sss", "bootloader.sss"}, "damaged", "1", false,
         {failed(LampId::FileOk)}, firmware, ""},
        {"port without device", scanner, {}, firmware, "2", false, {failed(LampId::ComStatus)}, "port 2", ""},
        {"silent port", {"--silent", "--greet-late", "60000"}, {}, firmware, "1", true,
         {failed(LampId::Communication)}, "The Romwright timed out. Nothing answered on port 1",
         "The update did not complete"},
        {"stall", scanner + QStringList{"--stall-after", "30"}, {}, firmware, "1", true,
         {failed(LampId::Working), {LampId::Communication, "done"}, {LampId::FlashErase, "done"}}, "port 1",
         "The update did not complete"},
        {"time-out", scanner + QStringList{"--greet-late", "60000"}, {}, firmware, "1", true,
         {failed(LampId::Communication)}, "port 1", "The update did not complete"},
    };
    // clang-format on
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        SimProcess sim(row.sim);
        QTemporaryDir folder;
        const bool ownFolder = !row.files.empty();
        for (const char *name : row.files)
            ASSERT_TRUE(test::copySamples({name}, folder.path()));
        QString path;
        if (row.file == QLatin1String("damaged")) {
            path = folder.filePath(QString::fromLatin1(firmware));
            QFile damaged(path);
            ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
            damaged.write("S1130000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00\n");
        } else if (row.file.startsWith(QLatin1Char('/'))) {
            path = row.file;
        }
        test::WindowRig rig(std::make_unique<PosixSerialPort>(PortMap::fromList(sim.link())),
                            ownFolder ? folder.path() : test::programDir(),
                            ownFolder ? folder.path() : test::sampleDir(), FlashTimings{}.scaled(0.1));
        rig.window.show();
        Seen seen;
        rig.dialogs.onMessage = [&](const test::ShownMessage &shown) {
            seen.message = shown.text;
            seen.icon = shown.icon;
            seen.status = rig.window.status();
            seen.program = rig.window.isControlEnabled(ControlId::ProgramButton);
            for (const auto &[lamp, name] : kLamps)
                seen.lamps[lamp] = rig.window.findChild<LampWidget *>(name)->stateText();
            if (const char *shots = std::getenv("ROMWRIGHT_SHOTS"))
                rig.window.grab().save(
                    QStringLiteral("%1/romwright-failure-%2.png")
                        .arg(QString::fromLocal8Bit(shots), QString::fromLatin1(row.what).replace(' ', '-')));
        };
        ASSERT_EQ(
            rig.frm.Form_Load(WindowCommandLine{row.file, row.port, QStringLiteral("Halvern 1450"), path}),
            FormLoadEnd::Ready);
        if (row.program)
            rig.window.findChild<QPushButton *>("cmdProgram")->click();
        EXPECT_TRUE(seen.message.contains(row.named)) << qPrintable(seen.message);
        EXPECT_TRUE(seen.icon == MessageIcon::Exclamation || seen.icon == MessageIcon::Critical);
        // Nothing of a wait is left on the status line: the ending, or nothing.
        EXPECT_TRUE(*row.status ? seen.status.startsWith(QLatin1String(row.status)) : seen.status.isEmpty())
            << qPrintable(seen.status);
        EXPECT_FALSE(seen.program);           // nothing to try again with as it stands
        if (row.port == QLatin1String("2")) { // until a port that is there is chosen
            rig.frm.mnuCom_Click(1);
            EXPECT_TRUE(rig.window.isControlEnabled(ControlId::ProgramButton));
        }
        for (const auto &[lamp, state] : seen.lamps) {
            const auto marked = row.lamps.find(lamp);
            EXPECT_EQ(state, marked != row.lamps.end()                  ? QLatin1String(marked->second)
                             : lamp == LampId::ComStatus && row.program ? QLatin1String("done")
                             : lamp == LampId::FileOk && !ownFolder     ? QLatin1String("done")
                                                                        : QLatin1String("not yet done"))
                << int(lamp);
        }
    }
}
