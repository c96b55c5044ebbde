// What the window shows of detection, and the command line's port and model.
#include "scanner/FindScanner.h"
#include "ScannerRig.h"

#include <gtest/gtest.h>

using namespace romwright;
using namespace romwright::test;

TEST(FindScanner, ShowsWhatDetectionFound)
{
    struct Case {
        const char *what;
        std::map<int, FakeDevice> devices; // empty: no port opens
        qint16 port;
        const char *label;
        bool wexmoor;
    };
    const Case cases[] = {
        {"Halvern on port 3", {{3, answersAt("38400", "HLV 1450OK\r\n")}}, 3, "Halvern 1450", false},
        {"Wexmoor on port 12", {{12, answersAt("38400", "WX 3650OK\r\n")}}, 12, "Wexmoor 3650", true},
        {"Jorlith in compatibility mode",
         {{2, answersAt("19200", "JL 19.2kOK\r\n")}},
         -1,
         "Compatibilty Mode",
         false},
        {"no port opens", {}, -1, "Scanner Not Found", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ScannerRig w;
        w.view.setPortMenuVisible(false); // a failed search shows it again
        w.flags.bWexmoor = !c.wexmoor;
        w.port.devices = c.devices;
        if (c.devices.empty())
            w.port.openError = CommError::NoSuchPort;
        const FindScannerResult result = FindScanner(w.scanner, w.port, w.view, w.flags);
        EXPECT_EQ(result.status, FindStatus::Done);
        EXPECT_EQ(result.port, c.port);
        EXPECT_EQ(w.scanner.Comm(), &w.port);
        EXPECT_EQ(w.view.text(LabelId::ScanMod), QLatin1String(c.label));
        EXPECT_EQ(w.view.isPortMenuVisible(), c.port < 0);
        EXPECT_EQ(w.view.isControlEnabled(ControlId::ProgramButton), c.port > 0);
        EXPECT_EQ(w.flags.bWexmoor, c.wexmoor);
        EXPECT_EQ(w.view.isControlEnabled(ControlId::ProcessorMain), c.wexmoor);
        EXPECT_EQ(w.view.isControlEnabled(ControlId::ProcessorBarCode), c.wexmoor);
    }
}

TEST(FindScanner, GivenPortAndModelSkipDetection)
{
    struct Case {
        std::optional<QString> comP;
        std::optional<QString> scannMod; // nullopt: detection runs after all
        FindStatus status;
        qint16 port;
    };
    const Case cases[] = {
        {QStringLiteral("3"), QStringLiteral("Halvern 1450"), FindStatus::Done, 3},
        {QString(), QString(), FindStatus::Done, 0},
        {QStringLiteral(" 7 "), QStringLiteral("Wexmoor 3650"), FindStatus::Done, 7},
        {QStringLiteral("-1"), QStringLiteral("x"), FindStatus::Done, -1},
        {QStringLiteral("32767"), QStringLiteral("x"), FindStatus::Done, 32767},
        {QStringLiteral("32768"), QStringLiteral("x"), FindStatus::BadPortNumber, 0},
        {QStringLiteral("COM3"), QStringLiteral("Jorlith 750"), FindStatus::BadPortNumber, 0},
        {QStringLiteral("5"), std::nullopt, FindStatus::Done, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.comP->toStdString());
        ScannerRig w;
        w.flags.bWexmoor = true;
        w.port.devices = {{2, answersAt("38400", "HLV 1450OK\r\n")}};
        const FindScannerResult result = FindScanner(w.scanner, w.port, w.view, w.flags, c.comP, c.scannMod);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.port, c.port);
        const QString model = c.scannMod.value_or(QStringLiteral("Halvern 1450"));
        EXPECT_EQ(w.view.text(LabelId::ScanMod), model);
        EXPECT_EQ(w.port.log.isEmpty(), c.scannMod.has_value()); // no port touched
        // A Wexmoor offers its processors as a detected one does.
        const bool wexmoor = model == QLatin1String("Wexmoor 3650");
        EXPECT_EQ(w.flags.bWexmoor, wexmoor);
        EXPECT_EQ(w.view.isControlEnabled(ControlId::ProcessorMain), wexmoor);
    }
}
