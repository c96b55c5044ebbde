#pragma once
// The port a line thread talks through, read with blocking reads. A blocking
// read that returns the moment a byte comes is the shortest way from an
// acknowledgement to the next record on Windows: Wine serves it in the
// calling process, where an overlapped read costs three or four calls to
// its server before the program sees the byte. Such a read cannot be waited
// on beside other handles, nor ended early from another thread (Wine has no
// CancelSynchronousIo for it), so a wait on a thread with a reader reads in
// slices of at most kReadSlice and looks at the thread's other handles (the
// wake-up, the termination signals, a probe's port) between them, at least
// once a slice: what they bring waits no longer than that.

#include <chrono>

namespace romwright {

class LineReader {
public:
    // The longest a wait reads before it looks at its other handles again.
    static constexpr std::chrono::milliseconds kReadSlice{50};

    virtual ~LineReader() = default;
    // Blocks until a byte has come, the line is lost or bound has passed;
    // takes what came and tells the listeners. May leave (a lost line closes).
    virtual void readFor(std::chrono::milliseconds bound) = 0;
};

namespace lineReader {

// This thread's reader, or nullptr: one at most.
LineReader *current();
// Makes reader this thread's; only when current() is nullptr.
void claim(LineReader &reader);
void release(LineReader &reader);

} // namespace lineReader

} // namespace romwright
