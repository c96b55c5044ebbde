#pragma once
// The simulator's command line.

#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace romwright::sim {

using Millis = std::chrono::milliseconds;

enum class BootKind { Old, Q64, A128 }; // greets "Z", "Q", "A"

struct SimOptions {
    std::string link;                    // --link PATH
    BootKind boot = BootKind::Q64;       // --boot Z|Q|A
    std::optional<BootKind> bootR4;      // --boot-r4 Z|Q|A
    std::optional<int> unanswered;       // --unanswered-request N
    bool startInBoot = false;            // --start-in-boot
    std::optional<double> exitAfter;     // --exit-after SECONDS
    bool lineRate = false;               // --line-rate
    std::string dump;                    // --dump FILE
    std::string flash;                   // --flash FILE
    std::string log;                     // --log FILE
    std::optional<int> stallAfter;       // --stall-after N
    std::optional<int> hangupAfter;      // --hangup-after N
    bool noise = false;                  // --noise
    Millis slowErase{0};                 // --slow-erase MS
    Millis greetLate{0};                 // --greet-late MS
    std::optional<Millis> ackLatency;    // --ack-latency MS
    std::string identity = "HLV 1450OK"; // --model / --compat / --identity
    Millis answerDelay{0};               // --answer-delay MS
    int rate = 38400;                    // --rate, the normal mode's rate
    bool silent = false;                 // --silent
    bool silentAfterUpdate = false;      // --silent-after-update
    std::optional<char> bootPrompt;      // --boot-prompt Q|A
    std::set<std::string> muted;         // --mute CMD
    std::optional<Millis> sendR1;        // --send-r1 MS
    std::optional<std::string> answer;   // --answer TEXT: the identity answer's exact bytes
    std::optional<Millis> babble;        // --babble MS: random bytes on the line every MS ms
    unsigned seed = 1;                   // --seed N: of the babble
};

struct ParsedOptions {
    std::optional<SimOptions> options; // empty: see message
    std::string message;               // the error, or the help text
    bool help = false;
};

ParsedOptions parseOptions(const std::vector<std::string> &args);

std::string usage();

} // namespace romwright::sim
