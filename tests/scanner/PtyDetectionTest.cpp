// Detection on real serial lines: pseudo-terminals
// served by romwright-sim, numbered through a port map, on the real clock.
#include "app/startup/FindScanner.h"
#include "app/update/ProgramFlags.h"
#include "platform/LineClock.h"
#include "platform/PosixSerialPort.h"
#include "scanner/Scanner.h"
#include "support/ScriptedDialogs.h"
#include "support/SimClient.h"
#include "support/SimProcess.h"
#include "view/ViewState.h"

#include <gtest/gtest.h>

using namespace romwright;
using namespace romwright::test;
using namespace std::chrono_literals;

namespace {

// Ten times the program's row wait. The simulator answers at once, but a
// busy machine (load 8 on two cores) may run it a second late; which rows a
// port hears must not depend on the answer beating the program's 200 ms.
constexpr ScannerTimings kPatientRows{.probeWait = 2000ms};

// The bytes the simulator heard, each run at one rate as "RATE:bytes", runs
// separated by a space: "38400:V\r\nV\r\n 19200:V\r\n".
std::string heardAtRates(const QString &transcript)
{
    std::string heard;
    QString rate;
    for (const QString &line : transcript.split(QLatin1Char('\n'))) {
        const QStringList parts = line.simplified().split(QLatin1Char(' '));
        if (parts.size() < 4 || parts[1] != QLatin1String("in"))
            continue;
        if (parts.back() != rate) {
            rate = parts.back();
            heard += (heard.empty() ? "" : " ") + rate.toStdString() + ':';
        }
        heard += char(parts[2].toUInt(nullptr, 16));
    }
    return heard;
}

} // namespace

// All ports are asked together, yet each hears exactly what it would hear if
// asked alone: the probes of the rows up to its answer, at their rates. The
// highest port with a scanner wins; a port another program holds is passed over.
TEST(PtyDetection, EachPortHearsTheRowsUpToItsAnswer)
{
    const std::string row1 = "38400:V\r\n", rows2 = "38400:V\r\nV\r\n", rows3 = rows2 + " 19200:V\r\n";
    const std::pair<const char *, std::string> ports[] = {
        // the simulator's arguments ("": no device), what the port hears
        {"", ""},
        {"--model halvern", row1},
        {"--model jorlith", rows2},
        {"--model halvern --rate 19200", rows3},
        {"--compat", rows3},
        {"--model wexmoor", rows3 + "V\r\n " + row1},
        {"--model halvern", ""}, // held by another program
    };
    std::vector<std::unique_ptr<SimProcess>> sims;
    QStringList links;
    for (const auto &[args, rows] : ports) {
        sims.push_back(*args ? std::make_unique<SimProcess>(QString::fromLatin1(args).split(QLatin1Char(' ')))
                             : nullptr);
        links << (sims.back() ? sims.back()->link() : QString());
    }
    SimClient other(links.back());
    ASSERT_TRUE(other.isOpen());

    LineClock clock;
    ViewState view;
    ScriptedDialogs dialogs;
    DetectionController detection{view, dialogs};
    ProgramFlags flags;
    PosixSerialPort port(PortMap::fromList(links.join(QLatin1Char(','))));
    // A simulator takes the bytes it reads together with a rate change as
    // sent before the change: it must wake within the quiet kept after one,
    // or a row's "V" at its new rate is heard at the old one, goes
    // unanswered, and the port hears the next row too. As patient as the rows.
    PosixSerialPort::setPseudoTerminalQuiet(kPatientRows.probeWait);
    Scanner scanner(clock, detection, flags.bProgramming, kPatientRows);
    scanner.setComm(&port);
    qint16 commPort = 0;
    EXPECT_EQ(scanner.DetectScanner(commPort), Detection::Found);
    EXPECT_EQ(scanner.Name(), QLatin1String("Wexmoor 3650"));
    EXPECT_EQ(commPort, 6);
    EXPECT_FALSE(port.portOpen());
    EXPECT_FALSE(view.isBusy());
    for (std::size_t i = 0; i < sims.size(); ++i) {
        if (!sims[i])
            continue;
        sims[i]->stop(); // the transcript is complete once the simulator has ended
        EXPECT_EQ(heardAtRates(sims[i]->transcript()), ports[i].second)
            << "port " << i + 1 << ":\n"
            << sims[i]->transcript().toStdString();
    }
}
