// Detection over pseudo-terminals, each served by a simulated scanner.
#include "PtyRig.h"

#include "scanner/FindScanner.h"
#include "support/SimClient.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace romwright;
using namespace romwright::test;
using namespace std::chrono_literals;

namespace {

struct Case {
    const char *what;
    const char *ports; // simulator arguments per port, separated by ";"; "-": no device
    Detection result;
    qint32 state;
    const char *name;
    qint32 type;
    qint16 comPort;
};

} // namespace

// The consequences of the probing order: each model at each rate.
TEST(PtyDetection, EachModelAtEachRate)
{
    const Case cases[] = {
        {"Halvern at 38400 on port 3", "-;-;--model halvern", Detection::Found, kScannerFound, "Halvern 1450", kHalvern1450, 3},
        {"Jorlith at 38400", "--model jorlith", Detection::Found, kScannerFound, "Jorlith 750", kJorlith750, 1},
        {"Halvern at 19200", "-;--model halvern --rate 19200", Detection::Found, kScannerFound, "Halvern 1450", kHalvern1450, 2},
        {"Jorlith at 19200 is taken for compatibility mode by row 3", "--model jorlith --rate 19200", Detection::NotFound,
         kCompatibilityMode, "Compatibilty Mode", kNotDetected, 1},
        {"compatibility answer", "--compat;--silent", Detection::NotFound, kCompatibilityMode, "Compatibilty Mode",
         kNotDetected, 2},
        {"Wexmoor by row 5", "--model wexmoor", Detection::Found, kScannerFound, "Wexmoor 3650", kWexmoor3650, 1},
        {"the last of two scanners wins", "--model halvern;-;-;--model jorlith", Detection::Found, kScannerFound,
         "Jorlith 750", kJorlith750, 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::unique_ptr<SimProcess>> sims;
        QStringList ports;
        for (const QString &args : QString::fromLatin1(c.ports).split(QLatin1Char(';'))) {
            if (args == QLatin1String("-")) {
                ports << QString();
                continue;
            }
            sims.push_back(std::make_unique<SimProcess>(args.split(QLatin1Char(' '))));
            ASSERT_TRUE(sims.back()->isReady()) << sims.back()->errorText().toStdString();
            ports << sims.back()->link();
        }
        PtyRig rig(ports.join(QLatin1Char(',')));
        qint16 commPort = 0;
        EXPECT_EQ(rig.scanner.DetectScanner(commPort), c.result);
        EXPECT_EQ(rig.scanner.State(), c.state);
        EXPECT_EQ(rig.scanner.Name(), QLatin1String(c.name));
        EXPECT_EQ(rig.scanner.TypeOfScanner(), c.type);
        EXPECT_EQ(rig.scanner.ComPort(), c.comPort);
        EXPECT_FALSE(rig.port->portOpen());
        EXPECT_FALSE(rig.view.isBusy());
    }
}

TEST(PtyDetection, ScannerInItsBootSoftwareIsChosenByTheUser)
{
    const std::pair<std::optional<QString>, const char *> choices[] = {
        {QStringLiteral("Wexmoor 3650"), "Wexmoor 3650"},
        {std::nullopt, nullptr},
    };
    for (const auto &[choice, name] : choices) {
        SimProcess sim({QStringLiteral("--boot-prompt"), QStringLiteral("A")});
        ASSERT_TRUE(sim.isReady()) << sim.errorText().toStdString();
        PtyRig rig(QStringLiteral(",") + sim.link());
        rig.dialogs.chooserAnswers = {choice};
        const FindScannerResult result = FindScanner(rig.scanner, *rig.port, rig.view, rig.flags);
        EXPECT_EQ(rig.dialogs.chooserShown, 1);
        if (!name) { // Exit ends the program without showing anything
            EXPECT_EQ(result.status, FindStatus::EndProgram);
            EXPECT_TRUE(rig.view.text(LabelId::ScanMod).isEmpty());
            EXPECT_TRUE(rig.view.isPortMenuVisible());
            EXPECT_TRUE(rig.view.isEnabled(ControlId::ProgramButton));
            continue;
        }
        EXPECT_EQ(result.port, 2);
        EXPECT_EQ(rig.view.text(LabelId::ScanMod), QLatin1String(name));
        EXPECT_TRUE(rig.flags.bWexmoor);
        EXPECT_TRUE(rig.view.isEnabled(ControlId::ProcessorBarCode));
        EXPECT_FALSE(rig.view.isPortMenuVisible());
    }
}

TEST(PtyDetection, APortHeldByAnotherProgramIsPassedOver)
{
    SimProcess held({QStringLiteral("--model"), QStringLiteral("halvern")}, QStringLiteral("held"));
    SimProcess free({QStringLiteral("--model"), QStringLiteral("jorlith")}, QStringLiteral("free"));
    ASSERT_TRUE(held.isReady() && free.isReady());
    SimClient other(held.link());
    ASSERT_TRUE(other.isOpen());

    PtyRig rig(SimProcess::portList({&free, &held}));
    qint16 commPort = 0;
    EXPECT_EQ(rig.scanner.DetectScanner(commPort), Detection::Found);
    EXPECT_EQ(rig.scanner.Name(), QLatin1String("Jorlith 750"));
    EXPECT_EQ(commPort, 1);
    // Only the free port was probed: rows 1 and 2.
    EXPECT_EQ(rig.sleeper.count, 2);
}

namespace {

// A rig whose port is numbered from ROMWRIGHT_PORTS, as the program's own is.
std::unique_ptr<PtyRig> rigFromEnvironment(const QString &ports)
{
    auto rig = std::make_unique<PtyRig>(QString());
    const QByteArray saved = qgetenv("ROMWRIGHT_PORTS");
    qputenv("ROMWRIGHT_PORTS", ports.toLocal8Bit());
    rig->port = std::make_unique<QtSerialPort>();
    qputenv("ROMWRIGHT_PORTS", saved);
    rig->scanner.setComm(rig->port.get());
    return rig;
}

} // namespace

TEST(PtyDetection, NoPortOpensThroughTheEnvironment)
{
    const auto rig = rigFromEnvironment(QStringLiteral("/nonexistent/romwright-a,,/nonexistent/romwright-b"));
    QElapsedTimer clock;
    clock.start();
    const FindScannerResult result = FindScanner(rig->scanner, *rig->port, rig->view, rig->flags);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(result.port, -1);
    EXPECT_EQ(rig->scanner.State(), kNoScanner);
    EXPECT_EQ(rig->view.text(LabelId::ScanMod), QLatin1String("Scanner Not Found"));
    EXPECT_TRUE(rig->view.isPortMenuVisible());
    EXPECT_FALSE(rig->view.isEnabled(ControlId::ProgramButton));
    EXPECT_EQ(rig->sleeper.count, 0);
}

TEST(PtyDetection, ThePortsOfTheEnvironmentAreProbedInOrder)
{
    SimProcess sim({QStringLiteral("--model"), QStringLiteral("halvern")});
    ASSERT_TRUE(sim.isReady());
    const auto rig = rigFromEnvironment(QStringLiteral(",,,,,,,,,,,,,,,") + sim.link());
    EXPECT_EQ(FindScanner(rig->scanner, *rig->port, rig->view, rig->flags).port, 16);
    EXPECT_EQ(rig->view.text(LabelId::ScanMod), QLatin1String("Halvern 1450"));

    // The scanner heard exactly one identity query, "V" CR LF.
    sim.stop();
    std::string heard;
    for (const Heard &h : heardBytes(sim.transcript()))
        heard += h.byte;
    EXPECT_EQ(heard, "V");
    EXPECT_EQ(sim.transcript().count(QLatin1String(" in  0x0D")), 1);
    EXPECT_EQ(sim.transcript().count(QLatin1String(" in  0x0A")), 1);
}
