// The calls the line's thread makes to the window's: the window's answers,
// or their withdrawal once it has gone. One job at a time from the clicks and
// the menus' requests taken only inside an update's waits are proven on the
// window itself (WindowUpdateTest: nothing pressed during an update, a file
// opened while the update awaits its greeting).
#include "app/window/LineThread.h"
#include "app/window/WindowCalls.h"

#include <QEventLoop>
#include <QThread>
#include <gtest/gtest.h>

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
