// The receive handler on a real line: a scanner's own "R1" gets its follow-up.
#include "PtyRig.h"

#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

using namespace romwright;
using namespace romwright::test;
using namespace std::chrono_literals;

TEST(PtyCommands, R1FromTheScannerGetsItsFollowUp)
{
    SimProcess sim({QStringLiteral("--model"), QStringLiteral("halvern"), QStringLiteral("--send-r1"),
                    QStringLiteral("1500")});
    ASSERT_TRUE(sim.isReady()) << sim.errorText().toStdString();
    PtyRig rig(sim.link());
    qint16 commPort = 0;
    ASSERT_EQ(rig.scanner.DetectScanner(commPort), Detection::Found);
    rig.port->setCommPort(commPort);
    rig.port->setSettings(QStringLiteral("38400,n,8,1"));
    ASSERT_EQ(rig.port->setPortOpen(true), CommError::None);
    rig.scanner.setReceiveHandling(true);

    // The follow-up's three commands each end in a pause; the third ends the wait.
    QEventLoop loop;
    const int before = rig.clock.pauses;
    rig.clock.onPause = [&] {
        if (rig.clock.pauses == before + 3)
            loop.quit();
    };
    QTimer::singleShot(5s, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(rig.clock.pauses, before + 3);
    rig.scanner.setReceiveHandling(false);
    rig.port->setPortOpen(false);
    sim.stop();
    EXPECT_EQ(heardBytes(sim.transcript()), "VM3R5A2");
}
