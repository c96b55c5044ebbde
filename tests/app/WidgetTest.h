#pragma once
// For tests that build widgets.

#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace romwright::test {

// Runs the event loop until done() holds or the bound runs out.
inline bool waitUntil(const std::function<bool()> &done, int boundMs = 3000)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(boundMs, &loop, &QEventLoop::quit);
    poll.start(10);
    if (!done())
        loop.exec();
    return done();
}

} // namespace romwright::test
