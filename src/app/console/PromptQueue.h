#pragma once
// The power-cycle prompts of a several-scanner run, one at a time: the
// children that wait are asked in the order they came, and a line on
// standard input (or its end) answers the one asked last, alone.

#include "platform/ChildProcess.h"

#include <QByteArray>

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace romwright {

class PromptQueue {
public:
    // ask: a child's turn has come (its prompt is to be said). answered: the
    // child asked has its answer, a line (true) or the end of input (false).
    PromptQueue(std::function<void(std::size_t child)> ask,
                std::function<void(std::size_t child, bool line)> answered);

    void push(std::size_t child) { m_waiting.push_back(child); }
    // The child ended: it is no longer asked, nor waits to be.
    void remove(std::size_t child);
    // Asks the next child waiting, unless one is asked already.
    void next();
    // After a signal no child is asked for anything more.
    void stop() { m_stopped = true; }
    std::optional<std::size_t> asked() const { return m_asked; }

private:
    void answer();

    std::function<void(std::size_t)> m_ask;
    std::function<void(std::size_t, bool)> m_answered;
    std::deque<std::size_t> m_waiting;
    std::optional<std::size_t> m_asked;
    bool m_stopped = false;
    std::unique_ptr<StandardInput> m_input;
    QByteArray m_buffer;
    bool m_inputEnded = false;
};

} // namespace romwright
