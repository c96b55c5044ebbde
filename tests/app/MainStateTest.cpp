// The window's handlers that need no widget, as MainState runs them.
#include "app/shell/MainState.h"
#include "flash/FakePort.h"
#include "platform/FileSystem.h"
#include "platform/ViewState.h"
#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

using namespace romwright;

namespace {

struct MainStateTest : ::testing::Test {
    MainStateTest()
    {
        auto fake = std::make_unique<test::FakePort>();
        port = fake.get();
        state = std::make_unique<MainState>(std::move(fake), MainServices{view, dialogs, sleeper, files, QString()});
    }
    ViewState view;
    test::ScriptedDialogs dialogs;
    test::CountingSleeper sleeper;
    LocalFileSystem files;
    test::FakePort *port = nullptr;
    std::unique_ptr<MainState> state;
};

} // namespace

TEST_F(MainStateTest, PortMenuTicksOnlyAPortThatOpened)
{
    struct Step {
        int port;
        CommError openError;
        Lamp lamp;
        int ticked;
        const char *label;
    };
    const Step steps[] = {
        {2, CommError::None, Lamp::Green, 2, "2"},
        {4, CommError::None, Lamp::Green, 4, "4"},
        {5, CommError::PortInUse, Lamp::Red, 4, "4"},
        {7, CommError::NoSuchPort, Lamp::Green, 7, "7"},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.port);
        port->openError = s.openError;
        EXPECT_EQ(state->mnuCom_Click(s.port), s.lamp == Lamp::Green);
        EXPECT_EQ(view.lamp(LampId::ComStatus), s.lamp);
        EXPECT_EQ(view.portTicked(), s.ticked);
        EXPECT_EQ(view.text(LabelId::Port), QString::fromLatin1(s.label));
    }
}

TEST_F(MainStateTest, ExitSaysGoodbyeOnlyToAnOpenPort)
{
    state->ExitCommand_Click();
    EXPECT_TRUE(port->writes.empty());
    ASSERT_TRUE(state->mnuCom_Click(1));
    state->ExitCommand_Click();
    ASSERT_EQ(port->writes.size(), 1u);
    EXPECT_EQ(port->writes[0], QByteArray("@"));
    EXPECT_FALSE(port->portOpen());
}

TEST_F(MainStateTest, OnlyTheTwoProcessorOptionsChangeTheChoice)
{
    const std::pair<int, bool> clicks[] = {{1, true}, {2, true}, {-1, true}, {0, false}, {7, false}};
    for (const auto &[index, barCode] : clicks) {
        state->optProcessor_Click(index);
        EXPECT_EQ(state->flags().bBarCodeProcessor, barCode) << index;
    }
}

TEST_F(MainStateTest, TheProgramNeverStartsAnUpdateWithoutValidFiles)
{
    ASSERT_TRUE(state->mnuCom_Click(1));
    view.setText(LabelId::FirmFile, QStringLiteral("H.s19"));
    EXPECT_EQ(state->cmdProgram_Click(), Outcome::Stopped);
    EXPECT_TRUE(port->writes.empty());
}
