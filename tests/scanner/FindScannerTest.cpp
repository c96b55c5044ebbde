#include "FakeSerialPort.h"
#include "RecordingSleeper.h"
#include "view/ProgramFlags.h"
#include "view/ViewState.h"
#include "scanner/FindScanner.h"
#include "scanner/Scanner.h"
#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

using namespace romwright;
using namespace romwright::test;

namespace {

struct Window {
    ViewState view;
    ScriptedDialogs dialogs;
    ProgramFlags flags;
    RecordingSleeper sleeper;
    FakeSerialPort msComm1;
    Scanner scanner{sleeper, dialogs, view, flags};

    FindScannerResult find(std::optional<QString> comP = std::nullopt, std::optional<QString> scannMod = std::nullopt)
    {
        return FindScanner(scanner, msComm1, view, flags, comP, scannMod);
    }
};

} // namespace

TEST(FindScanner, ShowsWhatDetectionFound)
{
    struct Case {
        const char *what;
        std::map<int, FakeDevice> devices;
        qint16 port;
        const char *label;
        bool portMenu;
        bool program;
        bool wexmoor;
    };
    const auto answering = [](const char *baud, QByteArray answer) {
        FakeDevice d;
        d.reply = answersAt(baud, std::move(answer));
        return d;
    };
    const Case cases[] = {
        {"Halvern on port 3", {{3, answering("38400", "HLV 1450OK\r\n")}}, 3, "Halvern 1450", false, true, false},
        {"Wexmoor on port 12", {{12, answering("38400", "WX 3650OK\r\n")}}, 12, "Wexmoor 3650", false, true, true},
        {"Jorlith in compatibility mode", {{2, answering("19200", "JL 19.2kOK\r\n")}}, -1, "Compatibilty Mode", true, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Window w;
        w.view.setPortMenuVisible(false); // proves that a failed search shows it again
        w.flags.bWexmoor = !c.wexmoor;
        w.msComm1.devices = c.devices;
        const FindScannerResult result = w.find();
        EXPECT_EQ(result.status, FindStatus::Done);
        EXPECT_EQ(result.port, c.port);
        EXPECT_EQ(w.scanner.Comm(), &w.msComm1);
        EXPECT_EQ(w.view.text(LabelId::ScanMod), QLatin1String(c.label));
        EXPECT_EQ(w.view.isPortMenuVisible(), c.portMenu);
        EXPECT_EQ(w.view.isEnabled(ControlId::ProgramButton), c.program);
        EXPECT_EQ(w.flags.bWexmoor, c.wexmoor);
        EXPECT_EQ(w.view.isEnabled(ControlId::ProcessorMain), c.wexmoor);
        EXPECT_EQ(w.view.isEnabled(ControlId::ProcessorBarCode), c.wexmoor);
    }
}

TEST(FindScanner, GivenPortAndModelSkipDetection)
{
    struct Case {
        std::optional<QString> comP;
        std::optional<QString> scannMod;
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
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.comP->toStdString());
        Window w;
        w.flags.bWexmoor = true;
        w.msComm1.devices = {{1, FakeDevice{}}};
        const FindScannerResult result = w.find(c.comP, c.scannMod);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.port, c.port);
        EXPECT_EQ(w.view.text(LabelId::ScanMod), *c.scannMod);
        // No port, no menu; a Wexmoor offers its processors as a detected one does.
        EXPECT_TRUE(w.msComm1.log.isEmpty());
        EXPECT_EQ(w.scanner.Comm(), nullptr);
        EXPECT_TRUE(w.view.isPortMenuVisible());
        EXPECT_TRUE(w.view.isEnabled(ControlId::ProgramButton));
        const bool wexmoor = *c.scannMod == QLatin1String("Wexmoor 3650");
        EXPECT_EQ(w.flags.bWexmoor, wexmoor);
        EXPECT_EQ(w.view.isEnabled(ControlId::ProcessorMain), wexmoor);
    }
}

TEST(FindScanner, OnlyOneArgumentStillSearches)
{
    Window w;
    FakeDevice halvern;
    halvern.reply = answersAt("38400", "HLV 1450OK\r\n");
    w.msComm1.devices = {{2, halvern}};
    EXPECT_EQ(w.find(QStringLiteral("5"), std::nullopt).port, 2);
    EXPECT_EQ(w.view.text(LabelId::ScanMod), QLatin1String("Halvern 1450"));
}
