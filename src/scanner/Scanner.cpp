#include "scanner/Scanner.h"

#include "scanner/CommandTable.h"

#include <QScopeGuard>

namespace romwright {
namespace {

// Detection is under way for as long as this lives, however it ends.
class UnderWay {
public:
    explicit UnderWay(DetectionEvents &events) : m_events(events) { m_events.detecting(true); }
    ~UnderWay() { m_events.detecting(false); }
    UnderWay(const UnderWay &) = delete;
    UnderWay &operator=(const UnderWay &) = delete;

private:
    DetectionEvents &m_events;
};

} // namespace

Scanner::Scanner(Clock &clock, DetectionEvents &events, const bool &programStarted, ScannerTimings timings,
                 QObject *parent)
    : QObject(parent), m_clock(clock), m_events(events), m_programStarted(programStarted), m_timings(timings),
      m_commands(*this)
{
    addStandardModels(m_models);
}

Scanner::~Scanner()
{
    setReceiveHandling(false);
}

void Scanner::setComm(SerialPort *port)
{
    if (port == m_comm)
        return;
    QObject::disconnect(m_receiveConnection);
    if (m_replyWaiting) {
        m_handlerAbandoned = true; // the reply being collected was on the old port
        m_clock.wake();
    }
    m_comm = port;
    if (m_receiveHandling)
        connectReceive();
}

Detection Scanner::DetectScanner(qint16 &CommPort)
{
    if (m_programStarted)
        return Detection::EndProgram;

    // Nothing else may read the port while the probes wait for answers.
    const bool handling = m_receiveHandling;
    setReceiveHandling(false);
    const auto restoreHandling = qScopeGuard([this, handling] { setReceiveHandling(handling); });

    m_state = kDetecting;
    const UnderWay underWay(m_events);

    PortSearch search;
    if (m_comm)
        search = searchPorts(*m_comm, m_models, m_clock, m_events, m_timings.probeWait);
    m_refusedPorts = std::move(search.refused);
    m_heldPorts = std::move(search.held);
    m_unclearPorts = std::move(search.unclear);
    m_found = std::move(search.found);
    if (search.exitChosen)
        return Detection::EndProgram;
    if (search.winner) {
        m_name = search.winner->name;
        m_typeOfScanner = search.winner->typeOfScanner;
        CommPort = search.winner->port;
        m_comPort = search.winner->port;
        m_state = kScannerFound;
        return Detection::Found;
    }
    if (search.compatibilityMode) {
        m_state = kCompatibilityMode;
        m_name = QStringLiteral("Compatibilty Mode");
    } else {
        m_state = kNoScanner;
        m_typeOfScanner = kNoScannerFound;
        m_name = QStringLiteral("Scanner Not Found");
    }
    // A search that opened no port leaves the port number as it was.
    if (search.opened)
        m_comPort = static_cast<qint16>(m_comm->commPort());
    return Detection::NotFound;
}

QString Scanner::SendCommand(qint32 lCommand)
{
    const ScannerFamily *family = familyNamed(m_name);
    const bool named = family && family->fullCommandSet;
    Commands::Entry last;
    if (lCommand >= 0 && lCommand < static_cast<qint32>(kCommandTable.size())) {
        const CommandRow &row = kCommandTable[static_cast<std::size_t>(lCommand)];
        if (named && row.namedAnswersOkAtOnce)
            return QStringLiteral("OK");
        for (const CommandStep &step : named ? row.named : row.other) {
            if (step.text.empty())
                break;
            last = m_commands.Add(
                QString::fromLatin1(step.text.data(), static_cast<qsizetype>(step.text.size())), true);
            if (last)
                last->setWait(step.wait);
        }
    }
    if (m_commands.Send() && last)
        return last->Answer();
    return QString();
}

void Scanner::setReceiveHandling(bool on)
{
    if (on == m_receiveHandling)
        return;
    m_receiveHandling = on;
    if (on) {
        connectReceive();
        return;
    }
    QObject::disconnect(m_receiveConnection);
    if (m_replyWaiting) {
        m_handlerAbandoned = true;
        m_clock.wake();
    }
}

void Scanner::connectReceive()
{
    // Queued: the handler waits for the rest of a reply itself, so it runs
    // when the thread is free (between jobs on the line's thread), never
    // inside the wait that heard the first bytes.
    if (m_comm)
        m_receiveConnection =
            connect(m_comm, &SerialPort::received, this, &Scanner::handleReceive, Qt::QueuedConnection);
}

void Scanner::handleReceive()
{
    if (m_inHandler || !m_receiveHandling || m_programStarted || !m_comm)
        return;
    m_inHandler = true;
    m_handlerAbandoned = false;
    const auto leave = qScopeGuard([this] { m_inHandler = false; });

    QByteArray buffer;
    bool r1Seen = false;
    bool unrecognised = false;
    // The scanner's short replies, each tested at the start of the buffer.
    const auto recognised = [&] {
        if (buffer.startsWith("R1\r\n")) {
            r1Seen = true;
            return true;
        }
        if (buffer.startsWith("OK\r\n")) {
            unrecognised = false;
            return true;
        }
        unrecognised = true;
        if (buffer.startsWith("K\r\n")) {
            unrecognised = false;
            return true;
        }
        return false;
    };

    if (m_threshhold == 4) {
        buffer = m_comm->input();
        recognised();
    } else {
        const Clock::ms deadline = m_clock.now() + m_timings.replyBound;
        for (;;) {
            buffer += m_comm->input();
            if (recognised())
                break;
            if (buffer.size() > kRecordLength)
                buffer.truncate(kRecordLength);
            if (buffer.size() == m_threshhold)
                break;
            if (!waitForMoreBytes(deadline)) {
                if (m_handlerAbandoned || !m_comm)
                    return; // someone else owns the port now
                unrecognised = true;
                break;
            }
        }
    }

    if (r1Seen) {
        SendCommand(kCommandAfterR1);
    } else if (unrecognised) {
        m_comm->clearOutput();
        m_comm->clearInput();
    }
}

bool Scanner::waitForMoreBytes(Clock::ms deadline)
{
    QObject wakeUps;
    connect(m_comm, &SerialPort::received, &wakeUps, [this] { m_clock.wake(); });
    connect(m_comm, &SerialPort::lineLost, &wakeUps, [this] { m_clock.wake(); });
    m_replyWaiting = true;
    const auto leave = qScopeGuard([this] { m_replyWaiting = false; });
    while (m_comm && m_comm->inBufferCount() == 0) {
        if (m_handlerAbandoned || m_programStarted || m_clock.waitsEnded()) {
            m_handlerAbandoned = true;
            return false;
        }
        if (m_clock.now() >= deadline)
            return false;
        m_clock.sleep(deadline);
    }
    return m_comm != nullptr;
}

} // namespace romwright
