#pragma once
// The listeners of one update, each told every event in the order they
// subscribed. A fixed handful of pointers: telling them allocates and
// formats nothing, so between an acknowledgement and the next record a
// listener costs only its own work.

#include "flash/UpdateEvents.h"

#include <QtGlobal>

#include <algorithm>
#include <array>
#include <cstddef>

namespace romwright {

class UpdateListeners final : public UpdateEvents {
public:
    static constexpr std::size_t kMost = 8;

    // The listener must outlive the update or leave first (remove). first:
    // told each event before those already listening.
    void add(UpdateEvents &listener, bool first = false)
    {
        Q_ASSERT_X(m_count < kMost, "UpdateListeners::add", "too many listeners");
        if (m_count == kMost)
            return;
        UpdateEvents **at = first ? m_list.begin() : m_list.begin() + m_count;
        std::move_backward(at, m_list.begin() + m_count, m_list.begin() + m_count + 1);
        *at = &listener;
        ++m_count;
    }
    void remove(UpdateEvents &listener)
    {
        const auto end = m_list.begin() + m_count;
        m_count = static_cast<std::size_t>(std::remove(m_list.begin(), end, &listener) - m_list.begin());
    }

    void started() override { tell(&UpdateEvents::started); }
    void stopped(UpdateStop why) override { tell(&UpdateEvents::stopped, why); }
    void retrying() override { tell(&UpdateEvents::retrying); }
    void step(UpdateStep step) override { tell(&UpdateEvents::step, step); }
    void routeBegins() override { tell(&UpdateEvents::routeBegins); }
    void connected() override { tell(&UpdateEvents::connected); }
    void erased() override { tell(&UpdateEvents::erased); }
    void progress(const TransferProgress &progress) override { tell(&UpdateEvents::progress, progress); }
    void passDone(Pass pass) override { tell(&UpdateEvents::passDone, pass); }
    void beforeRestart() override { tell(&UpdateEvents::beforeRestart); }
    void beforeChange(char boot) override { tell(&UpdateEvents::beforeChange, boot); }
    void firmwareWritten() override { tell(&UpdateEvents::firmwareWritten); }
    void answeredAfterUpdate(const std::optional<QString> &name) override
    {
        tell(&UpdateEvents::answeredAfterUpdate, name);
    }
    void finished(Outcome outcome) override { tell(&UpdateEvents::finished, outcome); }
    void ended(Outcome end, UpdatePhase phase, const std::optional<UpdateFailure> &failure) override
    {
        tell(&UpdateEvents::ended, end, phase, failure);
    }

private:
    template <typename Event, typename... Args> void tell(Event event, const Args &...args)
    {
        for (std::size_t i = 0; i < m_count; ++i)
            (m_list[i]->*event)(args...);
    }

    std::array<UpdateEvents *, kMost> m_list{};
    std::size_t m_count = 0;
};

} // namespace romwright
