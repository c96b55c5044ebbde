// The gate's decision on its own: what the scanner answered against what was
// claimed for it, at each moment, with the front end's answers.
#include "app/startup/ScannerGate.h"
#include "app/startup/MainState.h"
#include "app/update/FirmwareDiscovery.h"
#include "platform/FileSystem.h"
#include "platform/ManualClock.h"
#include "support/FakePort.h"
#include "support/ScriptedDialogs.h"
#include "view/ViewState.h"

#include <gtest/gtest.h>

using namespace romwright;

namespace {

IdentityAnswer answered(IdentityAnswer::Kind kind, const char *heard)
{
    IdentityAnswer answer;
    answer.kind = kind;
    if (kind == IdentityAnswer::Kind::Model) {
        answer.model = QString::fromLatin1(heard);
        answer.typeOfScanner = typeOfScannerForModel(answer.model);
    } else {
        answer.raw = heard;
    }
    answer.portError = QStringLiteral("no such port");
    return answer;
}

} // namespace

TEST(ScannerGate, TheScannersAnswerDecidesAndWhatIsUnclearRefuses)
{
    using enum GateMoment;
    using Kind = IdentityAnswer::Kind;
    using V = GateVerdict;
    const struct {
        const char *name;
        IdentityAnswer::Kind kind;
        const char *heard;   // the model it answered as, or the bytes it answered
        const char *claimed; // the model label before
        GateMoment moment;
        bool goOn;          // the front end's answer to a contradiction
        const char *chosen; // the chooser's answer, when it is shown: nullptr for its Exit
        GateVerdict verdict;
        const char *shown; // the model label after
        int asked;         // contradictions put to the front end
        bool chooser;      // the chooser was shown
        bool portFailure;  // "Communications Failure" said, the port lamp red
    } cases[] = {
        // The scanner names its model: that model, unless a person says otherwise when asked.
        {"model", Kind::Model, "Halvern 1450", "", StartUp, 0, nullptr, V::Pass, "Halvern 1450", 0, 0, 0},
        {"model as claimed", Kind::Model, "Jorlith 750", "Jorlith 750", Program, 0, nullptr, V::Pass,
         "Jorlith 750", 0, 0, 0},
        {"another model, No", Kind::Model, "Halvern 1450", "Jorlith 750", StartUp, 0, nullptr, V::Refused,
         "Halvern 1450", 1, 0, 0},
        {"another model, Yes", Kind::Model, "Halvern 1450", "Jorlith 750", Program, 1, nullptr, V::Pass,
         "Jorlith 750", 1, 0, 0},
        // Whatever cannot be read cleanly refuses, whatever the front end would say.
        {"other bytes, Yes", Kind::Unknown, "HLV 1450OK\n", "Halvern 1450", Program, 1, nullptr, V::Unclear,
         "Halvern 1450", 1, 0, 0},
        {"no port at start-up", Kind::NoPort, "", "Halvern 1450", StartUp, 1, nullptr, V::NoPort,
         "Halvern 1450", 0, 0, 0},
        {"no port at PROGRAM", Kind::NoPort, "", "Halvern 1450", Program, 1, nullptr, V::NoPort,
         "Halvern 1450", 0, 0, 1},
        // The scanner cannot tell: the model claimed, or the chooser's at PROGRAM.
        {"silent, claimed", Kind::Silent, "", "Jorlith 750", Program, 0, nullptr, V::Pass, "Jorlith 750", 0,
         0, 0},
        {"greeting, claimed", Kind::BootPrompt, "Q", "Halvern 1450", StartUp, 0, nullptr, V::Pass,
         "Halvern 1450", 0, 0, 0},
        {"silent at start-up", Kind::Silent, "", "", StartUp, 0, nullptr, V::Pass, "", 0, 0, 0},
        {"silent, chosen", Kind::Silent, "", "", Program, 0, "Jorlith750", V::Pass, "Jorlith 750", 0, 1, 0},
        {"silent, chooser closed", Kind::Silent, "", "", Program, 0, "", V::Closed, "", 0, 1, 0},
        {"silent, chooser's Exit", Kind::Silent, "", "", Program, 0, nullptr, V::Exit, "", 0, 1, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ViewState view;
        test::ScriptedDialogs dialogs;
        ManualClock clock;
        LocalFileSystem files;
        MainState state(std::make_unique<test::FakePort>(&clock), {view, dialogs, clock, files, {}});
        state.inputs().setModel(QString::fromLatin1(c.claimed));
        int asked = 0;
        state.gate().contradiction = [&](const ModelDecision &, const QString &) {
            ++asked;
            return c.goOn;
        };
        dialogs.chooserAnswers.push_back(c.chosen ? std::optional(QString::fromLatin1(c.chosen))
                                                  : std::nullopt);
        state.gate().knowIdentity(2, answered(c.kind, c.heard));
        EXPECT_EQ(state.gate().gate(2, c.moment), c.verdict);
        EXPECT_EQ(state.inputs().model(), QLatin1String(c.shown));
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(dialogs.chooserShown, c.chooser ? 1 : 0);
        EXPECT_EQ(view.lamp(LampId::ComStatus) == Lamp::Red, c.portFailure);
        EXPECT_EQ(dialogs.messages.size(), c.portFailure ? 1U : 0U);
        // Asked once: a Yes holds for the next look on the same port.
        if (c.verdict == V::Pass && c.asked > 0) {
            EXPECT_EQ(state.gate().gate(2, Program), V::Pass);
            EXPECT_EQ(asked, c.asked);
        }
    }
}
