#include "app/console/PromptQueue.h"

#include <algorithm>

namespace romwright {

PromptQueue::PromptQueue(std::function<void(std::size_t)> ask,
                         std::function<void(std::size_t, bool)> answered)
    : m_ask(std::move(ask)), m_answered(std::move(answered))
{
}

void PromptQueue::remove(std::size_t child)
{
    std::erase(m_waiting, child);
    if (m_asked == child)
        m_asked.reset();
}

void PromptQueue::next()
{
    if (m_asked || m_waiting.empty() || m_stopped) {
        if (!m_asked && m_input)
            m_input->setEnabled(false);
        return;
    }
    m_asked = m_waiting.front();
    m_waiting.pop_front();
    m_ask(*m_asked);
    answer();
}

// The child asked gets the line standard input holds, or the end of its own
// input once there is none left: it then says so and stops.
void PromptQueue::answer()
{
    if (!m_asked) {
        if (m_input)
            m_input->setEnabled(false);
        return;
    }
    const qsizetype end = m_buffer.indexOf('\n');
    if (end < 0 && !m_inputEnded) {
        // Read when a person has answered; whatever is typed ahead of a
        // prompt stays in the terminal until one comes.
        if (!m_input) {
            m_input = std::make_unique<StandardInput>();
            QObject::connect(m_input.get(), &StandardInput::bytes, [this](const QByteArray &bytes) {
                m_buffer += bytes;
                answer();
            });
            QObject::connect(m_input.get(), &StandardInput::ended, [this] {
                m_inputEnded = true;
                answer();
            });
        }
        m_input->setEnabled(true);
        return;
    }
    if (end >= 0)
        m_buffer.remove(0, end + 1);
    const std::size_t child = *std::exchange(m_asked, std::nullopt);
    m_answered(child, end >= 0);
    next();
}

} // namespace romwright
