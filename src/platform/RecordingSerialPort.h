#pragma once
// What crossed the serial line, with when and at what rate. A failed
// update's transcript shows the last bytes each way before it went wrong;
// --trace writes every byte of a run as it goes.
//
// RecordingSerialPort wraps the port the program talks through and tells
// the transcript each write, each read and each change of the line; its
// siblings (the ports detection probes) record into the same transcript.

#include "platform/Clock.h"
#include "platform/SerialPort.h"

#include <QFile>
#include <QString>

#include <deque>
#include <memory>

namespace romwright {

class PortTranscript {
public:
    // What is kept of each direction for a failed update's transcript.
    static constexpr qsizetype kKeptBytes = 64 * 1024;
    // Notes (opened, closed, new settings) kept beside the bytes.
    static constexpr std::size_t kKeptNotes = 1000;

    explicit PortTranscript(const Clock &clock, qsizetype keptBytes = kKeptBytes);
    PortTranscript(const PortTranscript &) = delete;
    PortTranscript &operator=(const PortTranscript &) = delete;

    // From now on every entry is also written to path, as it happens. False
    // with the reason in error when the file cannot be created or is no file
    // (a device, a FIFO: never opened).
    bool traceTo(const QString &path, QString *error);
    // A write to the trace file failed (a full disk): the trace is incomplete.
    bool traceFailed() const { return m_traceFailed; }

    enum class Way {
        Out,
        In,
        Discarded, // read only to be thrown away: stale bytes before a command
    };
    // settings is the line's ("38400,n,8,1"); error a write's failure.
    void bytes(int port, Way way, const QByteArray &data, const QString &settings,
               CommError error = CommError::None);
    void note(int port, const QString &text);

    // What is kept, oldest first, one entry a line, each timed in
    // milliseconds since the transcript began.
    QString text() const;

private:
    struct Entry {
        qint64 sequence = 0;
        std::chrono::milliseconds time{};
        int port = 0;
        char kind = 'n'; // 'o' out, 'i' in, 'x' discarded, 'n' a note
        QString rate;    // the line's settings; for a note its text
        QByteArray data;
        qsizetype dropped = 0; // leading bytes of the entry no longer kept
        CommError error = CommError::None;
    };
    void keep(std::deque<Entry> &entries, qsizetype &total, Entry entry);
    void trace(const Entry &entry);

    const Clock &m_clock;
    std::chrono::milliseconds m_start;
    qsizetype m_keptBytes;
    qint64 m_sequence = 0;
    std::deque<Entry> m_out, m_in, m_notes;
    qsizetype m_outBytes = 0, m_inBytes = 0;
    std::unique_ptr<QFile> m_trace;
    bool m_traceFailed = false;

    static QString line(const Entry &entry);
};

class RecordingSerialPort final : public SerialPort {
    Q_OBJECT
public:
    RecordingSerialPort(std::unique_ptr<SerialPort> port, PortTranscript &transcript);

    QByteArray read(std::chrono::milliseconds wait = {}) override;
    CommError write(const QByteArray &bytes) override;
    CommError discard(Discard what) override;
    bool isOpen() const override { return m_port->isOpen(); }
    int bytesWaiting() const override { return m_port->bytesWaiting(); }

    std::unique_ptr<SerialPort> sibling() const override;
    QList<int> presentPorts() const override { return m_port->presentPorts(); }
    QString deviceName(int port) const override { return m_port->deviceName(port); }

private:
    CommError openPort(const PortSettings &settings) override;
    CommError closePort() override;
    CommError applyLines(bool dtr, bool rts) override { return m_port->setLines(dtr, rts); }

    std::unique_ptr<SerialPort> m_port;
    PortTranscript &m_transcript;
    // The line's settings string beside every entry: made once per change,
    // not once per record.
    QString m_rate = m_port->settings();
};

} // namespace romwright
