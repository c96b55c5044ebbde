#include "app/window/LineThread.h"

#include <QCoreApplication>
#include <QThread>

#include <utility>

namespace romwright {

LineThread::LineThread()
{
    m_thread.reset(QThread::create([this] { run(); }));
    m_thread->start();
    std::unique_lock lock(m_mutex);
    m_ready.wait(lock, [this] { return m_clock != nullptr; });
}

LineThread::~LineThread()
{
    stop();
}

void LineThread::stop()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_clock->endWaits();
    }
    m_thread->wait();
}

void LineThread::post(std::function<void()> job)
{
    {
        const std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
        m_busy = true;
        m_clock->wake();
    }
}

bool LineThread::offer(std::function<void()> job)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_busy)
            return false;
        m_jobs.push_back(std::move(job));
        m_busy = true;
        m_clock->wake();
    }
    return true;
}

bool LineThread::request(std::function<void()> job)
{
    const std::lock_guard lock(m_mutex);
    if (m_busy && !m_accepting)
        return false;
    (m_busy ? m_requests : m_jobs).push_back(std::move(job));
    m_busy = true;
    m_clock->wake();
    return true;
}

void LineThread::acceptRequests(bool accept)
{
    const std::lock_guard lock(m_mutex);
    m_accepting = accept;
}

void LineThread::whenIdle(std::function<void()> idle)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_busy) {
            m_idle = std::move(idle);
            return;
        }
    }
    idle();
}

void LineThread::runRequests()
{
    for (;;) {
        std::function<void()> job;
        std::function<void()> idle;
        {
            const std::lock_guard lock(m_mutex);
            if (m_requests.empty())
                return;
            job = std::move(m_requests.front());
            m_requests.pop_front();
        }
        job();
    }
}

void LineThread::runNow(const std::function<void()> &job)
{
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    bool done = false;
    post([&] {
        job();
        const std::lock_guard lock(doneMutex);
        done = true;
        doneSignal.notify_one();
    });
    std::unique_lock lock(doneMutex);
    doneSignal.wait(lock, [&] { return done; });
}

void LineThread::run()
{
    {
        const std::lock_guard lock(m_mutex);
        m_clock = std::make_unique<LineClock>();
        m_clock->setAfterSleep([this] { runRequests(); });
    }
    m_ready.notify_one();
    LineClock &clock = *m_clock;
    for (;;) {
        std::function<void()> job;
        std::function<void()> idle;
        {
            const std::lock_guard lock(m_mutex);
            if (!m_requests.empty()) { // taken in too late by the job before: run on their own
                job = std::move(m_requests.front());
                m_requests.pop_front();
            } else if (!m_jobs.empty()) {
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            } else if (m_stopping) {
                break;
            } else {
                m_busy = false;
                m_accepting = false;
                idle = std::exchange(m_idle, nullptr);
            }
        }
        if (idle)
            idle();
        if (job) {
            job();
            continue;
        }
        // Idle: the open port is still served here, and the clock's timers
        // tick; what a port's bytes queued for this thread (a running
        // scanner's own replies, answered between jobs) is handed on after.
        clock.sleep(std::nullopt);
        QCoreApplication::sendPostedEvents();
    }
}

} // namespace romwright
