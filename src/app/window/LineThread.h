#pragma once
// The thread that owns the serial line while the window runs. Start-up, each
// update and every other handler that talks to a scanner run here, one at a
// time, as jobs the window posts; their waits block this thread on the
// line's own handles (LineClock), so the window's thread never waits for the
// scanner and nothing of the window can run inside a wait. What a job tells
// or asks the window goes to the window's thread (WindowCalls) and the job
// waits for the answer.

#include "platform/LineClock.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class QThread;

namespace romwright {

class LineThread {
public:
    LineThread(); // returns once the thread and its clock are there
    // Ends the waits, runs what was posted (each wait returns at once
    // then) and joins the thread; stop() does the same earlier.
    ~LineThread();
    void stop();
    LineThread(const LineThread &) = delete;
    LineThread &operator=(const LineThread &) = delete;

    // The clock of every wait on the line; its wake() and endWaits() may be
    // called from any thread.
    Clock &clock() { return *m_clock; }

    // Runs job on the line's thread after the jobs posted before it.
    void post(std::function<void()> job);
    // Runs job only when no job runs or waits to: a click while start-up or
    // an update runs does nothing. False when refused.
    bool offer(std::function<void()> job);
    // A menu's request (a file, a port): run as a job when none runs, inside
    // the running job's waits while it takes requests (acceptRequests),
    // refused otherwise.
    bool request(std::function<void()> job);
    // From the running job: whether its waits take requests now.
    void acceptRequests(bool accept);
    // Runs job there and waits for it: for what must be made on the line's
    // thread before any job runs (the port). Not from a job.
    void runNow(const std::function<void()> &job);
    // Calls idle on the line's thread once no job runs or waits to (at
    // once when none does): one time.
    void whenIdle(std::function<void()> idle);
    // Whether a job runs or waits to, from any thread.
    bool busy() const { return m_busy.load(); }
    // The thread itself, for objects made elsewhere that are to live on it.
    QThread *thread() const { return m_thread.get(); }

private:
    void run();
    void runRequests();

    // A QThread: the ports made on it have an event dispatcher to register
    // with, though no event loop ever runs there.
    std::unique_ptr<QThread> m_thread;
    // The thread's own, made on it; it outlives the thread, for the timers
    // of what the jobs made there.
    std::unique_ptr<LineClock> m_clock;
    mutable std::mutex m_mutex; // guards what follows
    std::condition_variable m_ready;
    std::deque<std::function<void()>> m_jobs;
    std::deque<std::function<void()>> m_requests; // taken in by the running job
    bool m_accepting = false;
    std::function<void()> m_idle;
    bool m_stopping = false;
    std::atomic<bool> m_busy = false;
};

} // namespace romwright
