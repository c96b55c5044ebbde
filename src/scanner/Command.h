#pragma once
// One command of the scanner's normal mode, as the command queue holds it:
// the exact text to write, how long to wait for the answer, and the answer.

#include <QString>
#include <chrono>

namespace romwright {

class Command {
public:
    Command() = default;
    Command(QString text, bool returnsString) : m_text(std::move(text)), m_returnsString(returnsString) {}

    // The text written to the port, exactly; no line end is added.
    const QString &CommandText() const { return m_text; }
    // True: an empty answer counts as a failure.
    bool ReturnsString() const { return m_returnsString; }

    // Pause after writing before the answer is read; 0 means the queue's default.
    std::chrono::milliseconds Wait() const { return m_wait; }
    void setWait(std::chrono::milliseconds wait) { m_wait = wait; }

    // What was read, "OK" for a command without a text answer, or the failure text.
    const QString &Answer() const { return m_answer; }
    void setAnswer(const QString &answer) { m_answer = answer; }

private:
    QString m_text;
    bool m_returnsString = false;
    std::chrono::milliseconds m_wait{0};
    QString m_answer;
};

} // namespace romwright
