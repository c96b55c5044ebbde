#pragma once
// What a wait on the line's own thread can be woken by. An open port and the
// termination signals join the list of the thread they were opened on while
// they are there; LineClock's sleep blocks on all of them at once (poll on
// POSIX, WaitForMultipleObjects on Windows) and, when one is ready, serves
// it on that same thread. On Windows the thread's own port is read instead,
// in slices with the other handles looked at between them
// (WindowsLineReader.h). Nothing else runs during such a wait: no event
// loop, no window, no timer but the clock's own.

#include <chrono>
#include <functional>
#include <optional>

namespace romwright {

#ifdef _WIN32
using WaitHandle = void *; // an event handle, set when the source is ready
#else
using WaitHandle = int; // a descriptor, ready when it can be read
#endif

class LineSource {
public:
    virtual ~LineSource() = default;
    virtual WaitHandle waitHandle() const = 0;
    // On the thread that waits, once its handle is ready: takes what came
    // and tells the listeners. May leave the list (a lost line closes).
    virtual void serve() = 0;
};

// A handle of its own, with what to do when it is ready: joins the list of
// the thread that makes it, leaves when destroyed, or once served when it is
// an event that stays set.
class HandleSource final : public LineSource {
public:
    enum Serving { Always, Once };
    HandleSource(WaitHandle handle, std::function<void()> onReady, Serving serving = Always);
    ~HandleSource() override;
    HandleSource(const HandleSource &) = delete;
    HandleSource &operator=(const HandleSource &) = delete;
    WaitHandle waitHandle() const override { return m_handle; }
    void serve() override;

private:
    WaitHandle m_handle;
    std::function<void()> m_onReady;
    Serving m_serving;
};

namespace lineWaits {

// This thread's list. A source leaves before it is destroyed.
void join(LineSource &source);
void leave(LineSource &source);

// Whether this thread's waits are a LineClock's: a port opened here is then
// served by the clock, not by an event loop.
bool owned();

} // namespace lineWaits

// The wake-up any thread may give the waits of one line thread.
class LineWaker {
public:
    LineWaker();
    ~LineWaker();
    LineWaker(const LineWaker &) = delete;
    LineWaker &operator=(const LineWaker &) = delete;

    void wake();
    // Blocks until a source of this thread's list is ready, wake() or until;
    // serves the ready sources and takes the wake-up. False when nothing
    // could be waited on (the system refused): the caller sleeps plainly.
    bool wait(std::optional<std::chrono::steady_clock::time_point> until);

private:
    WaitHandle m_handle;
};

} // namespace romwright
