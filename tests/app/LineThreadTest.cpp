// The line's thread and the calls it makes to the window's: one job at a
// time from the clicks, the menus' requests taken in only while a job says
// so, and the window's answers, or their withdrawal once it has gone.
#include "app/window/LineThread.h"
#include "app/window/WindowCalls.h"

#include <QEventLoop>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <future>

using namespace romwright;

namespace {

// Runs this thread's event loop until the line is idle.
void settle(LineThread &line)
{
    QEventLoop loop;
    line.whenIdle([&] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); });
    loop.exec();
}

} // namespace

TEST(LineThread, OneJobAtATimeAndRequestsOnlyWhileTheJobTakesThem)
{
    LineThread line;
    std::atomic<bool> release = false;
    std::atomic<int> ran = 0;
    // A job that waits on the line's clock until released, taking requests
    // when told to.
    std::promise<void> started;
    const auto waitingJob = [&](bool takesRequests) {
        return [&, takesRequests] {
            line.acceptRequests(takesRequests);
            started.set_value();
            while (!release)
                line.clock().sleep(std::nullopt);
            ++ran;
        };
    };
    struct Row {
        const char *what;
        bool takesRequests;
        bool secondClick, request; // offered while the first job waits
        int expectedRuns;          // the first job included
        bool requestRanInside;
    } rows[] = {
        {"a second click does nothing", false, true, false, 1, false},
        {"a menu request is refused", false, false, true, 1, false},
        {"a request the job takes runs inside its wait", true, false, true, 2, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        release = false;
        ran = 0;
        std::atomic<bool> requestInside = false;
        started = {};
        ASSERT_TRUE(line.offer(waitingJob(row.takesRequests)));
        started.get_future().wait(); // the job waits now, taking requests or not
        bool accepted = false;
        if (row.secondClick)
            accepted = line.offer([&] { ++ran; });
        std::promise<void> requestRan;
        if (row.request)
            accepted = line.request([&] {
                requestInside = !release;
                ++ran;
                requestRan.set_value();
            });
        EXPECT_EQ(accepted, row.requestRanInside);
        if (accepted)
            requestRan.get_future().wait(); // before the job is let go
        release = true;
        line.clock().wake();
        settle(line);
        EXPECT_EQ(ran, row.expectedRuns);
        EXPECT_EQ(requestInside, row.requestRanInside);
        EXPECT_FALSE(line.busy());
    }
}

TEST(WindowCalls, AnsweredOnTheWindowsThreadOrWithdrawnOnceItHasGone)
{
    LineThread line;
    QObject window;
    WindowCalls calls(window, line.clock());
    // From the window's own thread: at once.
    EXPECT_EQ(calls([] { return 7; }), 7);
    // From the line's: on the window's thread, while the line waits.
    Qt::HANDLE answeredOn = nullptr;
    int answer = 0;
    line.post([&] { answer = calls([&] { return answeredOn = QThread::currentThreadId(), 42; }); });
    settle(line);
    EXPECT_EQ(answer, 42);
    EXPECT_EQ(answeredOn, QThread::currentThreadId());
    // Once the window's loop has ended, a question nobody will see answers
    // the safe default: no Yes.
    calls.windowGone();
    bool yes = true;
    line.post([&] { yes = calls([] { return true; }); });
    line.stop();
    EXPECT_FALSE(yes);
}
