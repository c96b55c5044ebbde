#pragma once
// A serial port without a device, for what a device cannot be made to do on
// cue: refuse a write at a chosen moment, lose the line in the middle of a
// wait, or hold back an answer forever. It records every write and answers
// through a responder, delivered from the event loop like real bytes.

#include "support/FakePortBase.h"
#include "platform/Sleeper.h"

#include <QTimer>
#include <deque>
#include <functional>
#include <vector>

namespace romwright::test {

class FakePort : public FakePortBase {
public:
    // Bytes to deliver in answer to one write (empty: no answer).
    std::function<QByteArray(const QByteArray &written)> responder;
    // Called before each write; a value other than None fails it.
    std::function<CommError(const QByteArray &written)> writeError;
    std::vector<QByteArray> writes;
    // Reads that arrive one after another: each is delivered only once the
    // one before it has been taken, so no two ever merge into one read.
    std::deque<QByteArray> laterReads;
    QStringList settingsLog;
    CommError openError = CommError::None;
    bool answerAtOnce = false; // the answer is waiting when output() returns
    int opens = 0;

    QByteArray written() const
    {
        QByteArray all;
        for (const auto &w : writes)
            all += w;
        return all;
    }

    // Puts bytes in the receive buffer now, from the event loop.
    void deliver(const QByteArray &bytes)
    {
        QTimer::singleShot(0, this, [this, bytes] {
            if (!m_open)
                return;
            m_in += bytes;
            emit received();
        });
    }
    void deliverNow(const QByteArray &bytes) { m_in += bytes; }
    void loseLine() { emit lineLost(); }

    CommError setCommPort(int port) override
    {
        m_port = port;
        return CommError::None;
    }
    int commPort() const override { return m_port; }
    QString deviceName() const override { return QStringLiteral("fake%1").arg(m_port); }
    CommError setSettings(const QString &settings) override
    {
        settingsLog << settings;
        m_settings = settings;
        return CommError::None;
    }
    QString settings() const override { return m_settings; }
    CommError setPortOpen(bool open) override
    {
        if (open && !m_open) {
            if (openError != CommError::None)
                return openError;
            ++opens;
        }
        m_open = open;
        if (!open)
            m_in.clear();
        return CommError::None;
    }
    bool portOpen() const override { return m_open; }
    CommError output(const QByteArray &bytes) override
    {
        if (!m_open)
            return CommError::PortNotOpen;
        if (writeError) {
            const CommError error = writeError(bytes);
            if (error != CommError::None)
                return error;
        }
        writes.push_back(bytes);
        if (responder) {
            const QByteArray answer = responder(bytes);
            if (!answer.isEmpty())
                answerAtOnce ? deliverNow(answer) : deliver(answer);
        }
        return CommError::None;
    }
    int inBufferCount() const override { return static_cast<int>(m_in.size()); }
    QByteArray input() override
    {
        QByteArray all = m_in;
        m_in.clear();
        if (!laterReads.empty()) {
            deliver(laterReads.front());
            laterReads.pop_front();
        }
        return all;
    }
    CommError clearInput() override
    {
        m_in.clear();
        return m_open ? CommError::None : CommError::PortNotOpen;
    }
    CommError clearOutput() override { return CommError::None; }

    void open() { setPortOpen(true); }

private:
    int m_port = 0;
    QString m_settings;
    bool m_open = false;
    QByteArray m_in;
};

// A sleeper that only adds up what it was asked to pause.
class CountingSleeper : public Sleeper {
public:
    void sleep(std::chrono::milliseconds duration) override { total += duration; }
    std::chrono::milliseconds total{0};
};

} // namespace romwright::test
