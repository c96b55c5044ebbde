// Detection over pseudo-terminals, each served by a simulated scanner.
#include "PtyRig.h"

#include "scanner/FindScanner.h"
#include "support/SimClient.h"

#include <gtest/gtest.h>
#include <string_view>

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
    std::vector<int> rowsAsked; // per simulator: how many model rows it heard, in table order
};

// What a port hears when asked the first `rows` rows of the model table.
std::string probesOfRows(int rows)
{
    const char *rates[] = {"38400", "38400", "19200", "19200", "38400"};
    std::string heard;
    for (int row = 0; row < rows; ++row) {
        if (row == 0 || std::string_view(rates[row]) != rates[row - 1])
            heard += (row == 0 ? "" : " ") + std::string(rates[row]) + ':';
        heard += "V\r\n";
    }
    return heard;
}

} // namespace

// The consequences of the probing order: each model at each rate, and on
// every port exactly the probes of the rows up to its answer, at their rates.
TEST(PtyDetection, EachModelAtEachRate)
{
    const Case cases[] = {
        {"Halvern at 38400 on port 3",
         "-;-;--model halvern",
         Detection::Found,
         kScannerFound,
         "Halvern 1450",
         kHalvern1450,
         3,
         {1}},
        {"Jorlith at 38400",
         "--model jorlith",
         Detection::Found,
         kScannerFound,
         "Jorlith 750",
         kJorlith750,
         1,
         {2}},
        {"Halvern at 19200",
         "-;--model halvern --rate 19200",
         Detection::Found,
         kScannerFound,
         "Halvern 1450",
         kHalvern1450,
         2,
         {3}},
        {"Jorlith at 19200 is taken for compatibility mode by row 3",
         "--model jorlith --rate 19200",
         Detection::NotFound,
         kCompatibilityMode,
         "Compatibilty Mode",
         kNotDetected,
         1,
         {3}},
        {"compatibility answer",
         "--compat;--silent",
         Detection::NotFound,
         kCompatibilityMode,
         "Compatibilty Mode",
         kNotDetected,
         2,
         {3, 5}},
        {"Wexmoor by row 5",
         "--model wexmoor",
         Detection::Found,
         kScannerFound,
         "Wexmoor 3650",
         kWexmoor3650,
         1,
         {5}},
        {"the last of two scanners wins",
         "--model halvern;-;-;--model jorlith",
         Detection::Found,
         kScannerFound,
         "Jorlith 750",
         kJorlith750,
         4,
         {1, 2}},
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
        ASSERT_EQ(sims.size(), c.rowsAsked.size());
        for (std::size_t i = 0; i < sims.size(); ++i) {
            sims[i]->stop(); // the transcript is complete once the simulator has ended
            EXPECT_EQ(heardAtRates(sims[i]->transcript()), probesOfRows(c.rowsAsked[i]))
                << "simulator " << i + 1;
        }
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
    EXPECT_EQ(rig.clock.pauses, 2);
}
