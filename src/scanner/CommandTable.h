#pragma once
// What SendCommand queues for each command index. The families with the full
// command set (fullCommandSet: the Halvern 1450 and the Jorlith 750) share
// one; every other scanner (and a scanner not yet detected) gets only the
// commands all models understand. "M3" needs
// 200 ms before the scanner answers; "V" 500 ms; "A1"/"A2" answer at once.

#include <array>
#include <chrono>
#include <string_view>

namespace romwright {

struct CommandStep {
    std::string_view text;            // empty: end of the list
    std::chrono::milliseconds wait{}; // 0: the queue's default wait
};

using CommandList = std::array<CommandStep, 4>;

struct CommandRow {
    CommandList named; // a family with the full command set
    CommandList other; // any other Name
    bool namedAnswersOkAtOnce = false;
};

namespace detail {
using namespace std::chrono_literals;
inline constexpr CommandStep M3{"M3", 200ms};
inline constexpr CommandStep R1{"R1"}, R5{"R5"}, A2{"A2"}, I3{"I3"}, M6{"M6"}, T4{"T4"};
inline constexpr CommandStep V{"V", 500ms}, A1Now{"A1", 1ms}, A2Now{"A2", 1ms};
} // namespace detail

inline constexpr std::array<CommandRow, 13> kCommandTable{{
    /* 0 */ {{detail::R1, detail::M3, detail::R5, detail::A2}, {}},
    /* 1 */ {{}, {}, true},
    /* 2 */ {{}, {}},
    /* 3 */ {{detail::A2, detail::R1}, {}},
    /* 4 */ {{detail::V}, {detail::V}},
    /* 5 */ {{detail::I3}, {detail::I3}},
    /* 6 */ {{}, {}}, // dlAllowForm: refused for the named models
    /* 7 */ {{detail::M3, detail::R5, detail::A2}, {}},
    /* 8 */ {{detail::M6}, {detail::M6}},
    /* 9 */ {{detail::T4}, {detail::T4}},
    /* 10 */ {{detail::M6, detail::M3, detail::R5, detail::A2}, {}},
    /* 11 */ {{detail::A1Now}, {detail::A1Now}},
    /* 12 */ {{detail::A2Now}, {detail::A2Now}},
}};

// The index the receive handler sends when the scanner reports "R1".
inline constexpr int kCommandAfterR1 = 7;

} // namespace romwright
