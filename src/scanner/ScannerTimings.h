#pragma once
// The pauses of the scanner dialogue. The program runs with the defaults;
// tests may shorten the ones that are not the subject of the test.

#include <chrono>

namespace romwright {

struct ScannerTimings {
    // Blocking pause between an identity query and reading its answer.
    std::chrono::milliseconds probeWait{200};
    // Wait after a queued command whose own wait is 0.
    std::chrono::milliseconds defaultCommandWait{250};
    // How long the accumulating receive handler waits for one of the
    // scanner's short replies before it gives the buffer up as unrecognised.
    std::chrono::milliseconds replyBound{1000};
};

} // namespace romwright
