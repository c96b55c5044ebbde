#pragma once
// Calls from the line's thread to the window's: what a job tells the window
// (a lamp, a label) and what it asks (a message, a question, the chooser).
// The call is posted to the window's event loop and the job waits for its
// answer in its own clock, so the line is still served meanwhile and the
// window's thread never waits for the line. From the window's thread itself
// the call is made at once.
//
// Once the window's event loop has ended (windowGone()), a call it has not
// begun is withdrawn and answers the type's default: no Yes, no choice, no
// text. Its jobs can then unwind, and the line's thread end.

#include "platform/Clock.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>

namespace romwright {

class WindowCalls {
public:
    // window: any object of the window's thread; lineClock: the waits of the line's thread.
    WindowCalls(QObject &window, Clock &lineClock) : m_window(window), m_lineClock(lineClock) {}

    template <typename Call> auto operator()(Call &&call) -> decltype(call())
    {
        using Result = decltype(call());
        if (QThread::currentThread() == m_window.thread())
            return call();
        auto state = std::make_shared<State<Result>>();
        {
            const std::lock_guard lock(m_mutex);
            if (m_gone)
                return answered(*state);
        }
        QMetaObject::invokeMethod(
            &m_window,
            [this, state, &call] {
                {
                    const std::lock_guard lock(m_mutex);
                    if (state->withdrawn)
                        return;
                    state->begun = true;
                }
                if constexpr (std::is_void_v<Result>) {
                    call();
                } else {
                    Result result = call();
                    const std::lock_guard lock(m_mutex);
                    state->result = std::move(result);
                }
                {
                    const std::lock_guard lock(m_mutex);
                    state->done = true;
                }
                m_changed.notify_all();
                m_lineClock.wake();
            },
            Qt::QueuedConnection);
        return wait(*state);
    }

    // The window's event loop has ended: no call will be begun.
    void windowGone()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_gone = true;
        }
        m_changed.notify_all();
        m_lineClock.wake();
    }

private:
    template <typename Result> struct Value {
        std::optional<Result> result;
    };
    struct NoValue {};
    template <typename Result>
    struct State : std::conditional_t<std::is_void_v<Result>, NoValue, Value<Result>> {
        bool begun = false;
        bool done = false;
        bool withdrawn = false;
    };

    template <typename Result> Result wait(State<Result> &state)
    {
        for (;;) {
            {
                std::unique_lock lock(m_mutex);
                if (!state.done && m_gone && !state.begun) {
                    state.withdrawn = true;
                    return answered(state);
                }
                // Once the waits have ended the clock sleeps no more: wait here.
                if (!state.done && m_lineClock.waitsEnded())
                    m_changed.wait(lock, [&] { return state.done || (m_gone && !state.begun); });
                if (state.done)
                    return answered(state);
            }
            if (!m_lineClock.waitsEnded())
                m_lineClock.sleep(std::nullopt);
        }
    }

    template <typename Result> static Result answered(State<Result> &state)
    {
        if constexpr (std::is_void_v<Result>)
            return;
        else
            return state.done && state.result ? std::move(*state.result) : Result{};
    }

    QObject &m_window;
    Clock &m_lineClock;
    std::mutex m_mutex; // guards every call's state and m_gone
    std::condition_variable m_changed;
    bool m_gone = false;
};

} // namespace romwright
