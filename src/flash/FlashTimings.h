#pragma once
// Every interval, pause and bound of the bootloader dialogue in one place.
// The defaults are the values the scanners were built against; tests shrink
// them with scaled() so a whole update runs in a fraction of a second.

#include <chrono>

namespace romwright {

struct FlashTimings {
    using ms = std::chrono::milliseconds;

    // Greeting timers.
    ms waitForZInterval{3500}; // tmrWaitForZ, never changed
    ms waitForQInterval{3500}; // tmrWaitForQ as the window loads it
    ms identifyGreeting{5000}; // tmrWaitForQ for each greeting wait at start-up
    ms updateGreeting{2500};   // tmrWaitForQ for each greeting wait of an update

    // Bounds on the acknowledgements inside a route.
    ms ackBound{10000};   // "G", the RAM loader, "z" and every record
    ms eraseBound{60000}; // "E": the whole flash is erased before the answer

    // Blocking pauses the boot software needs.
    ms identifySettle{1000};  // before each request at start-up
    ms afterRequest{2};       // after a first request, before listening
    ms afterBaudReturn{1000}; // back at 38400 after no "Z"
    ms afterRetryRequest{1};  // after a repeated request
    ms afterG{2};
    ms afterLowerZ{3};        // 64-byte route only
    ms afterFinalR{2000};     // the bootloader restarts the firmware
    ms afterPowerCycle{2000}; // the new bootloader comes up

    // After the final "R": how long the new firmware has to answer its
    // identity, and the rest between two questions.
    ms answerBound{10000};
    ms askAgain{500};

    // All values multiplied by factor; pauses of 1..3 ms stay at least 1 ms.
    FlashTimings scaled(double factor) const
    {
        auto s = [factor](ms value) {
            const auto scaledValue = ms(static_cast<ms::rep>(static_cast<double>(value.count()) * factor));
            return value.count() > 0 && scaledValue.count() == 0 ? ms(1) : scaledValue;
        };
        FlashTimings t;
        t.waitForZInterval = s(waitForZInterval);
        t.waitForQInterval = s(waitForQInterval);
        t.identifyGreeting = s(identifyGreeting);
        t.updateGreeting = s(updateGreeting);
        t.ackBound = s(ackBound);
        t.eraseBound = s(eraseBound);
        t.identifySettle = s(identifySettle);
        t.afterRequest = s(afterRequest);
        t.afterBaudReturn = s(afterBaudReturn);
        t.afterRetryRequest = s(afterRetryRequest);
        t.afterG = s(afterG);
        t.afterLowerZ = s(afterLowerZ);
        t.afterFinalR = s(afterFinalR);
        t.afterPowerCycle = s(afterPowerCycle);
        t.answerBound = s(answerBound);
        t.askAgain = s(askAgain);
        return t;
    }
};

} // namespace romwright
