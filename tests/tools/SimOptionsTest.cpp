#include "SimOptions.h"

#include <gtest/gtest.h>

using namespace romwright::sim;

TEST(SimOptions, RefusesWhatItCannotPlay)
{
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--boot", "Q"},
        {"--link"},
        {"--link", "x", "--boot", "B"},
        {"--link", "x", "--boot-r4", "a"},
        {"--link", "x", "--rate", "9600"},
        {"--link", "x", "--compat", "--rate", "38400"},
        {"--link", "x", "--model", "other"},
        {"--link", "x", "--mute", "XX"},
        {"--link", "x", "--stall-after", "-1"},
        {"--link", "x", "--slow-erase", "soon"},
        {"--link", "x", "--exit-after", "0"},
        {"--link", "x", "--boot-prompt", "Z"},
        {"--link", "x", "--unknown"},
    };
    for (const auto &args : bad) {
        const ParsedOptions p = parseOptions(args);
        EXPECT_FALSE(p.options.has_value()) << (args.empty() ? "(none)" : args.back());
        EXPECT_FALSE(p.message.empty());
    }
}

TEST(SimOptions, CompatAndBootPromptImplyTheirRateAndBootSoftware)
{
    const auto compat = parseOptions({"--link", "x", "--compat"});
    ASSERT_TRUE(compat.options);
    EXPECT_EQ(compat.options->rate, 19200);
    const auto prompt = parseOptions({"--link", "x", "--boot-prompt", "A"});
    ASSERT_TRUE(prompt.options);
    EXPECT_TRUE(prompt.options->startInBoot);
    EXPECT_EQ(prompt.options->boot, BootKind::A128);
}
