// What the window shows of detection, or of the port and model given on the
// command line instead.
#include "app/common/FindScanner.h"
#include "ScannerRig.h"

#include <gtest/gtest.h>

using namespace romwright;
using namespace romwright::test;

TEST(FindScanner, ShowsTheModelFoundOrGiven)
{
    const FakeDevice halvern = answersAt("38400", "HLV 1450OK\r\n");
    struct Case {
        std::optional<QString> comP, scannMod; // both given: no detection
        std::map<int, FakeDevice> devices;     // empty: no port opens
        FindStatus status;
        qint16 port;
        const char *label;
    };
    const Case cases[] = {
        {{}, {}, {{3, halvern}}, FindStatus::Done, 3, "Halvern 1450"},
        {{}, {}, {{12, answersAt("38400", "WX 3650OK\r\n")}}, FindStatus::Done, 12, "Wexmoor 3650"},
        {{}, {}, {{2, answersAt("19200", "JL 19.2kOK\r\n")}}, FindStatus::Done, -1, "Compatibilty Mode"},
        {{}, {}, {}, FindStatus::Done, -1, "Scanner Not Found"},
        {"5", {}, {{2, halvern}}, FindStatus::Done, 2, "Halvern 1450"}, // a port alone: detection runs
        {"3", "Halvern 1450", {}, FindStatus::Done, 3, "Halvern 1450"},
        {"", "", {}, FindStatus::Done, 0, ""},
        {" 7 ", "Wexmoor 3650", {}, FindStatus::Done, 7, "Wexmoor 3650"},
        {"-1", "x", {}, FindStatus::Done, -1, "x"},
        {"32767", "x", {}, FindStatus::Done, 32767, "x"},
        {"32768", "x", {}, FindStatus::BadPortNumber, 0, "x"},
        {"COM3", "Jorlith 750", {}, FindStatus::BadPortNumber, 0, "Jorlith 750"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label + (": " + c.comP.value_or("-")).toStdString());
        const bool detected = !c.comP || !c.scannMod, wexmoor = QLatin1String(c.label).startsWith('W');
        ScannerRig w;
        w.view.setPortMenuVisible(false); // a failed search shows it again
        w.flags.bWexmoor = !wexmoor;
        w.port.devices = c.devices;
        if (c.devices.empty())
            w.port.openError = CommError::NoSuchPort;
        const FindScannerResult result = FindScanner(w.scanner, w.port, w.view, w.flags, c.comP, c.scannMod);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.port, c.port);
        EXPECT_EQ(w.view.text(LabelId::ScanMod), QLatin1String(c.label));
        // A Wexmoor, detected or given, offers its processors.
        EXPECT_EQ(w.flags.bWexmoor, wexmoor);
        EXPECT_EQ(w.view.isControlEnabled(ControlId::ProcessorMain), wexmoor);
        EXPECT_EQ(w.view.isControlEnabled(ControlId::ProcessorBarCode), wexmoor);
        if (detected) {
            EXPECT_EQ(w.scanner.Comm(), &w.port);
            EXPECT_EQ(w.view.isPortMenuVisible(), c.port < 0);
            EXPECT_EQ(w.view.isControlEnabled(ControlId::ProgramButton), c.port > 0);
        } else {
            EXPECT_EQ(w.port.openAttempts.size(), 0u); // no port touched
        }
    }
}
