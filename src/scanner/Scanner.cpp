#include "scanner/Scanner.h"

#include "family/BootLetters.h"
#include "platform/PortMap.h"
#include "scanner/ChooserAnswer.h"
#include "scanner/CommandTable.h"
#include "scanner/IdentityQuery.h"

#include <QScopeGuard>

#include <algorithm>
#include <memory>
#include <optional>

namespace romwright {
namespace {

const QString kEnumerationSettings = QStringLiteral("19200,n,8,1");

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

// One candidate port while the rows are asked. The port's error kinds are
// absorbed the way detection needs them: a refused value or a port another
// program holds gives the port up; a port that is missing, cannot be opened
// or is not open just yields no answer; a line that fails while writing is
// given up like a held one.
struct ProbedPort {
    qint16 number = 0;
    std::unique_ptr<SerialPort> port;
    bool refused = false;
    bool inUse = false; // also set when the line fails while writing
    bool done = false;  // answered, or given up
    QByteArray answer;

    void absorb(CommError error)
    {
        switch (error) {
        case CommError::ValueRefused:
            refused = true;
            break;
        case CommError::PortInUse:
        case CommError::WriteFailed:
            inUse = true;
            break;
        case CommError::None:
        case CommError::NoSuchPort:
        case CommError::PermissionDenied:
        case CommError::DeviceNotOpen:
        case CommError::PortNotOpen:
            break;
        }
    }
    bool givenUp() const { return refused || inUse; }
    void close()
    {
        if (port->portOpen())
            port->setPortOpen(false);
    }
};

// The last character of a bootloader's prompt: such a scanner cannot name its model.
bool isBootPrompt(const QByteArray &answer)
{
    return !answer.isEmpty() &&
           (answer.back() == letter::kGreeting64 || answer.back() == letter::kGreeting128);
}

FoundScanner foundAs(qint16 port, const ScannerFamily &family)
{
    return FoundScanner{port, latin1(family.shown), family.type};
}

// Asks one model row of every port still being asked, then one wait serves
// them all. Each port hears the row at the row's rate and closes once it has
// answered or is done, as when the ports were asked one after another, so
// each hears the same bytes at the same rates. A port that stayed silent
// stays open for the next row: opening and closing a port (a lock file
// written through to the disk, then removed) costs far more than changing
// its rate in place, and the line's quiet after a change is shared when all
// ports are set before the first is written. What a port receives between
// two rows goes unheard, as it would with the port closed. The ports asked;
// none when every port is done or none opened.
std::vector<ProbedPort *> askRow(std::vector<ProbedPort> &ports, const ScannerModel &model, Clock &clock,
                                 Clock::ms wait)
{
    const QString settings = model.CommandSettings();
    std::vector<ProbedPort *> asked;
    for (ProbedPort &probed : ports) {
        if (probed.done) {
            probed.close();
            continue;
        }
        SerialPort &port = *probed.port;
        if (port.portOpen()) {
            if (port.settings() != settings)
                probed.absorb(port.setSettings(settings));
            if (!probed.givenUp())
                probed.absorb(port.clearInput());
        } else {
            probed.absorb(port.setCommPort(probed.number));
            probed.absorb(port.setSettings(settings));
            if (!probed.givenUp()) {
                probed.absorb(port.setInputLen(0));
                probed.absorb(port.setPortOpen(true));
            }
        }
        if (probed.givenUp()) {
            probed.done = true;
            probed.close();
        } else if (port.portOpen()) {
            asked.push_back(&probed);
        } // else no answer to wait for; the next row tries again
    }
    if (asked.empty())
        return asked;
    const QByteArray command = model.VersionCommand.toLatin1() + "\r\n";
    for (ProbedPort *probed : asked)
        probed->absorb(probed->port->output(command));
    clock.pause(wait);
    for (ProbedPort *probed : asked) {
        probed->answer = probed->port->input();
        if (!probed->answer.isEmpty())
            probed->close();
    }
    return asked;
}

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

void Scanner::closeComm()
{
    if (m_comm->portOpen())
        m_comm->setPortOpen(false);
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
    emit ScannerConnect(false);
    const UnderWay underWay(m_events);

    // Every port that opens is a candidate. Only whether it opens counts here.
    std::vector<qint16> candidates;
    m_refusedPorts.clear();
    m_heldPorts.clear();
    m_found.clear();
    if (m_comm) {
        for (const int port : m_comm->presentPorts()) {
            const auto n = qint16(port);
            closeComm();
            if (m_comm->setCommPort(n) != CommError::None)
                continue;
            m_comm->setSettings(kEnumerationSettings);
            m_comm->setInputLen(0);
            const CommError opened = m_comm->setPortOpen(true);
            if (opened == CommError::PermissionDenied)
                m_refusedPorts.push_back({n, deviceAccess(m_comm->deviceName())});
            else if (opened == CommError::PortInUse)
                m_heldPorts.push_back({n, m_comm->deviceName()});
            if (m_comm->portOpen())
                candidates.push_back(n);
        }
    }
    if (candidates.empty()) {
        m_state = kNoScanner;
        m_name = QStringLiteral("Scanner Not Found");
        m_typeOfScanner = kNoScannerFound;
        emit ScannerConnect(false);
        return Detection::NotFound;
    }
    closeComm();
    m_comm->setCommPort(candidates.back());

    std::vector<ProbedPort> ports;
    for (const qint16 p : candidates) {
        ports.emplace_back();
        ports.back().number = p;
        ports.back().port = m_comm->sibling();
    }

    // Each row goes to every port still being asked. The highest-numbered
    // port with a scanner wins, whichever row found it.
    std::optional<qint16> found;
    for (const auto &model : m_models) {
        const std::vector<ProbedPort *> asked = askRow(ports, *model, m_clock, m_timings.probeWait);
        if (asked.empty())
            continue; // every port done, or none opened for this row
        for (ProbedPort *probed : asked) {
            const QByteArray &answer = probed->answer;
            const bool wins = !found || probed->number > *found;
            if (!answer.isEmpty() && answer != "0") {
                const bool identity = answer == model->VersionData.toLatin1() + "\r\n";
                std::optional<FoundScanner> scanner;
                if (isBootPrompt(answer)) {
                    for (ProbedPort &p : ports)
                        p.close(); // none held while the user chooses; the next row opens them again
                    m_events.detecting(false);
                    const std::optional<QString> choice = m_events.chooseModel();
                    m_events.detecting(true);
                    if (!choice)
                        return Detection::EndProgram;
                    // Closed without a choice: the scanner is there, its model unknown
                    // until PROGRAM asks again.
                    if (choice->isEmpty())
                        scanner = FoundScanner{probed->number, QString(), kNotDetected};
                    else
                        scanner = foundAs(probed->number, familyChosen(*choice));
                    scanner->bootPrompt = answer.back();
                } else if (identity) {
                    scanner = FoundScanner{probed->number, model->ScannerName, model->TypeOfScanner};
                }
                if (scanner) {
                    if (wins) {
                        m_name = scanner->name;
                        m_typeOfScanner = scanner->typeOfScanner;
                        CommPort = probed->number;
                        m_comPort = probed->number;
                        found = probed->number;
                    }
                    m_found.push_back(*scanner);
                    probed->done = true;
                    continue;
                }
                // A Jorlith in its compatibility mode leaves the port without a find.
                if (compatibilityFamily(*model, answer)) {
                    m_state = kCompatibilityMode;
                    probed->done = true;
                    continue;
                }
            }
            if (probed->inUse)
                probed->done = true;
        }
    }

    for (ProbedPort &p : ports)
        p.close();
    std::sort(m_found.begin(), m_found.end(),
              [](const FoundScanner &a, const FoundScanner &b) { return a.port < b.port; });
    if (found) {
        m_state = kScannerFound;
        emit ScannerConnect(true);
        return Detection::Found;
    }
    if (m_state != kCompatibilityMode) {
        m_state = kNoScanner;
        m_typeOfScanner = kNoScannerFound;
        m_name = QStringLiteral("Scanner Not Found");
    } else {
        m_name = QStringLiteral("Compatibilty Mode");
    }
    m_comPort = static_cast<qint16>(m_comm->commPort());
    emit ScannerConnect(false);
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
    // Queued: the handler waits for the rest of a reply in an event loop of
    // its own, and the port announces new bytes only once its current
    // announcement has returned.
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
