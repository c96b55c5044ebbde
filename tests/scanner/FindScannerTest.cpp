// What the window shows of detection, or of the port and model given on the
// command line instead.
#include "app/startup/FindScanner.h"
#include "ScannerRig.h"

#include <gtest/gtest.h>

using namespace romwright;
using namespace romwright::test;

// Start-up drives the search itself (FormLoadTest); here the port numbers a
// command line may give.
TEST(FindScanner, ShowsThePortAndModelGiven)
{
    const struct {
        const char *comP, *scannMod;
        FindStatus status;
        qint16 port;
    } cases[] = {
        {" 7 ", "Wexmoor 3650", FindStatus::Done, 7},
        {"-1", "x", FindStatus::Done, -1},
        {"32768", "x", FindStatus::BadPortNumber, 0},
        {"COM3", "Jorlith 750", FindStatus::BadPortNumber, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.comP);
        const bool wexmoor = QLatin1String(c.scannMod).startsWith('W');
        ScannerRig w;
        UpdateInputs inputs(w.view);
        inputs.showModel(QLatin1String(wexmoor ? "Jorlith 750" : "Wexmoor 3650"));
        w.port.openError = CommError::NoSuchPort;
        const FindScannerResult result =
            FindScanner(w.scanner, w.port, w.view, inputs, QLatin1String(c.comP), QLatin1String(c.scannMod));
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.port, c.port);
        EXPECT_EQ(w.view.text(LabelId::ScanMod), QLatin1String(c.scannMod));
        // A Wexmoor given offers its processors.
        EXPECT_EQ(inputs.twoProcessors(), wexmoor);
        EXPECT_EQ(w.view.isControlEnabled(ControlId::ProcessorBarCode), wexmoor);
        EXPECT_EQ(w.port.openAttempts.size(), 0u); // no port touched
    }
}
