#include "platform/RecordingSerialPort.h"

#include "platform/FileSystem.h"

#include <QDateTime>

#include <algorithm>

namespace romwright {

namespace {

// Printable ASCII as it is, the rest as escapes: the "P" records read as
// text, the binary "D" records and line noise byte by byte.
QString escaped(const QByteArray &data)
{
    QString text;
    text.reserve(data.size() + 2);
    text += QLatin1Char('"');
    for (const char c : data) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
            text += QLatin1String(c == '"' ? "\\\"" : "\\\\");
        else if (c == '\r')
            text += QLatin1String("\\r");
        else if (c == '\n')
            text += QLatin1String("\\n");
        else if (b >= 0x20 && b < 0x7f)
            text += QLatin1Char(c);
        else
            text += QStringLiteral("\\x%1").arg(b, 2, 16, QLatin1Char('0'));
    }
    text += QLatin1Char('"');
    return text;
}

} // namespace

PortTranscript::PortTranscript(const Clock &clock, qsizetype keptBytes)
    : m_clock(clock), m_start(clock.now()), m_keptBytes(keptBytes)
{
}

bool PortTranscript::traceTo(const QString &path, QString *error)
{
    // Only into a file: never into the port's own terminal or another device.
    std::unique_ptr<QFile> file = openOutputFile(path, error);
    if (!file)
        return false;
    const QByteArray header = "# romwright trace, begun " +
                              QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toLatin1() +
                              "\n# milliseconds since then, port, way, line rate in baud, bytes\n";
    m_traceFailed = file->write(header) != header.size() || !file->flush();
    m_trace = std::move(file);
    return true;
}

QString PortTranscript::line(const Entry &entry)
{
    const char *way = entry.kind == 'o' ? "out" : entry.kind == 'n' ? "--" : "in";
    QString text = QStringLiteral("%1  port %2  %3  ")
                       .arg(entry.time.count(), 9)
                       .arg(entry.port, 2)
                       .arg(QLatin1String(way), -3);
    if (entry.kind == 'n')
        return text + entry.rate;
    text += QStringLiteral("%1  ").arg(entry.rate.section(QLatin1Char(','), 0, 0), 6);
    if (entry.dropped > 0)
        text += QStringLiteral("(%1 bytes before these no longer kept) ").arg(entry.dropped);
    text += escaped(entry.data);
    if (entry.kind == 'x')
        text += QLatin1String(" (discarded)");
    if (entry.error != CommError::None)
        text += QStringLiteral(" (not written: %1)").arg(describe(entry.error));
    return text;
}

void PortTranscript::trace(const Entry &entry)
{
    if (!m_trace)
        return;
    const QByteArray text = line(entry).toUtf8() + '\n';
    // Written through at once: a trace is wanted most from a run that dies.
    if (m_trace->write(text) != text.size() || !m_trace->flush())
        m_traceFailed = true;
}

void PortTranscript::keep(std::deque<Entry> &entries, qsizetype &total, Entry entry)
{
    total += entry.data.size();
    entries.push_back(std::move(entry));
    while (total > m_keptBytes && !entries.empty()) {
        Entry &oldest = entries.front();
        const qsizetype excess = total - m_keptBytes;
        if (oldest.data.size() <= excess) {
            total -= oldest.data.size();
            entries.pop_front();
            continue;
        }
        oldest.data.remove(0, excess);
        oldest.dropped += excess;
        total -= excess;
    }
}

void PortTranscript::bytes(int port, Way way, const QByteArray &data, const QString &settings,
                           CommError error)
{
    Entry entry;
    entry.sequence = m_sequence++;
    entry.time = m_clock.now() - m_start;
    entry.port = port;
    entry.kind = way == Way::Out ? 'o' : way == Way::In ? 'i' : 'x';
    entry.rate = settings; // shared, not copied: the rate is cut out only when written
    entry.data = data;
    entry.error = error;
    trace(entry);
    if (way == Way::Out)
        keep(m_out, m_outBytes, std::move(entry));
    else
        keep(m_in, m_inBytes, std::move(entry));
}

void PortTranscript::note(int port, const QString &text)
{
    Entry entry;
    entry.sequence = m_sequence++;
    entry.time = m_clock.now() - m_start;
    entry.port = port;
    entry.rate = text;
    trace(entry);
    m_notes.push_back(std::move(entry));
    if (m_notes.size() > kKeptNotes)
        m_notes.pop_front();
}

QString PortTranscript::text() const
{
    std::vector<const Entry *> entries;
    for (const std::deque<Entry> *kept : {&m_out, &m_in, &m_notes})
        for (const Entry &entry : *kept)
            entries.push_back(&entry);
    std::sort(entries.begin(), entries.end(),
              [](const Entry *a, const Entry *b) { return a->sequence < b->sequence; });
    QString text;
    for (const Entry *entry : entries)
        text += line(*entry) + QLatin1Char('\n');
    return text;
}

RecordingSerialPort::RecordingSerialPort(std::unique_ptr<SerialPort> port, PortTranscript &transcript)
    : m_port(std::move(port)), m_transcript(transcript)
{
    connect(m_port.get(), &SerialPort::received, this, &SerialPort::received);
    connect(m_port.get(), &SerialPort::lineLost, this, [this] {
        m_transcript.note(commPort(), QStringLiteral("line lost"));
        emit lineLost();
    });
}

std::unique_ptr<SerialPort> RecordingSerialPort::sibling() const
{
    return std::make_unique<RecordingSerialPort>(m_port->sibling(), m_transcript);
}

CommError RecordingSerialPort::openPort(const PortSettings &settings)
{
    const bool wasOpen = m_port->isOpen();
    const QString rate = settings.line.text();
    const CommError error = m_port->open(settings);
    const int port = settings.port;
    if (error == CommError::None)
        m_rate = rate;
    if (!wasOpen)
        m_transcript.note(
            port, error == CommError::None
                      ? QStringLiteral("opened %1 at %2").arg(m_port->deviceName(port), rate)
                      : QStringLiteral("did not open %1: %2").arg(m_port->deviceName(port), describe(error)));
    else if (settings.line != portSettings().line)
        m_transcript.note(port, error == CommError::None
                                    ? QStringLiteral("line set to %1").arg(rate)
                                    : QStringLiteral("line not set to %1: %2").arg(rate, describe(error)));
    return error;
}

CommError RecordingSerialPort::closePort()
{
    const bool wasOpen = m_port->isOpen();
    const CommError error = m_port->close();
    if (wasOpen)
        m_transcript.note(commPort(), QStringLiteral("closed"));
    return error;
}

CommError RecordingSerialPort::write(const QByteArray &bytes)
{
    const CommError error = m_port->write(bytes);
    m_transcript.bytes(commPort(), PortTranscript::Way::Out, bytes, m_rate, error);
    return error;
}

QByteArray RecordingSerialPort::read(std::chrono::milliseconds wait)
{
    QByteArray bytes = m_port->read(wait);
    if (!bytes.isEmpty())
        m_transcript.bytes(commPort(), PortTranscript::Way::In, bytes, m_rate);
    return bytes;
}

CommError RecordingSerialPort::discard(Discard what)
{
    // What is thrown away is read first, so that the transcript shows it:
    // the stale bytes before a request are often what went wrong.
    if (what == Discard::Input && m_port->isOpen())
        if (const QByteArray stale = m_port->read(); !stale.isEmpty())
            m_transcript.bytes(commPort(), PortTranscript::Way::Discarded, stale, m_rate);
    return m_port->discard(what);
}

} // namespace romwright
