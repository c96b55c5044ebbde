#include "scanner/Scanner.h"

#include "platform/Dialogs.h"
#include "view/MainView.h"
#include "view/ProgramFlags.h"
#include "platform/Sleeper.h"
#include "scanner/CommandTable.h"

#include <QEventLoop>
#include <QScopeGuard>
#include <QTimer>

namespace romwright {
namespace {

constexpr qint16 kFirstPort = 1;
constexpr qint16 kLastPort = 16;
const QString kEnumerationSettings = QStringLiteral("19200,n,8,1");

// The hourglass for as long as detection runs, however it ends.
class BusyPointer {
public:
    explicit BusyPointer(MainView &view) : m_view(view) { m_view.setBusy(true); }
    ~BusyPointer() { m_view.setBusy(false); }
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;

private:
    MainView &m_view;
};

// The last character of a bootloader's prompt: such a scanner cannot name its model.
bool isBootPrompt(const QByteArray &answer)
{
    return !answer.isEmpty() && (answer.back() == 'Q' || answer.back() == 'A');
}

} // namespace

Scanner::Scanner(Sleeper &sleeper, Dialogs &dialogs, MainView &view, const ProgramFlags &flags,
                 ScannerTimings timings, QObject *parent)
    : QObject(parent), m_sleeper(sleeper), m_dialogs(dialogs), m_view(view), m_flags(flags), m_timings(timings),
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
    if (m_replyWait) {
        m_handlerAbandoned = true; // the reply being collected was on the old port
        m_replyWait->quit();
    }
    m_comm = port;
    if (m_receiveHandling)
        connectReceive();
}

// The port's error kinds, absorbed the way detection needs them: a refused
// value or a port another program holds gives the port up; a port that is
// missing, cannot be opened or is not open just yields no answer; a line
// that fails while writing is given up like a held one.
void Scanner::absorb(CommError error)
{
    switch (error) {
    case CommError::ValueRefused: m_refused = true; break;
    case CommError::PortInUse:
    case CommError::WriteFailed: m_inUse = true; break;
    case CommError::None:
    case CommError::NoSuchPort:
    case CommError::PermissionDenied:
    case CommError::DeviceNotOpen:
    case CommError::PortNotOpen: break;
    }
}

void Scanner::closeComm()
{
    if (m_comm->portOpen())
        absorb(m_comm->setPortOpen(false));
}

Detection Scanner::DetectScanner(qint16 &CommPort)
{
    if (m_flags.bProgramming)
        return Detection::EndProgram;

    // Nothing else may read the port while the probes wait for answers.
    const bool handling = m_receiveHandling;
    setReceiveHandling(false);
    const auto restoreHandling = qScopeGuard([this, handling] { setReceiveHandling(handling); });

    m_state = kDetecting;
    emit ScannerConnect(false);
    BusyPointer busy(m_view);

    // Every port that opens is a candidate.
    std::vector<qint16> candidates;
    m_refusedPorts.clear();
    if (m_comm) {
        for (qint16 n = kFirstPort; n <= kLastPort; ++n) {
            closeComm();
            if (m_comm->setCommPort(n) != CommError::None)
                continue;
            absorb(m_comm->setSettings(kEnumerationSettings));
            absorb(m_comm->setInputLen(0));
            const CommError opened = m_comm->setPortOpen(true);
            absorb(opened);
            if (opened == CommError::PermissionDenied)
                m_refusedPorts.push_back({n, deviceAccess(m_comm->deviceName())});
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

    // Every candidate is asked once per model, in table order; a later find
    // overrides an earlier one, so the last port that answered wins.
    bool found = false;
    for (const qint16 p : candidates) {
        m_refused = false;
        m_inUse = false;
        for (const auto &model : m_models) {
            closeComm();
            absorb(m_comm->setCommPort(p));
            absorb(m_comm->setSettings(model->CommandSettings()));
            if (portGivenUp())
                break;
            absorb(m_comm->setInputLen(0));
            absorb(m_comm->setPortOpen(true));
            if (portGivenUp())
                break;
            absorb(m_comm->output(model->VersionCommand.toLatin1() + "\r\n"));
            m_sleeper.sleep(m_timings.probeWait);
            const QByteArray answer = m_comm->input();
            closeComm();

            if (!answer.isEmpty() && answer != "0") {
                if (isBootPrompt(answer)) {
                    m_view.setBusy(false);
                    const std::optional<QString> choice = m_dialogs.chooseScanner();
                    m_view.setBusy(true);
                    if (!choice)
                        return Detection::EndProgram;
                    if (*choice == QLatin1String("Halvern1450")) {
                        m_name = QStringLiteral("Halvern 1450");
                        m_typeOfScanner = kHalvern1450;
                    } else if (*choice == QLatin1String("Jorlith750")) {
                        m_name = QStringLiteral("Jorlith 750");
                        m_typeOfScanner = kJorlith750;
                    } else {
                        m_name = QStringLiteral("Wexmoor 3650");
                        m_typeOfScanner = kWexmoor3650;
                    }
                } else if (answer == model->VersionData.toLatin1() + "\r\n") {
                    m_name = model->ScannerName;
                    m_typeOfScanner = model->TypeOfScanner;
                }
                if (isBootPrompt(answer) || answer == model->VersionData.toLatin1() + "\r\n") {
                    CommPort = p;
                    m_comPort = p;
                    found = true;
                    break;
                }
                // A Jorlith in its compatibility mode answers at 19200 to any
                // row of that rate; the port is then left without a find.
                if (model->Baud == QLatin1String("19200") && (answer == "JL 19.2kOK\r\n" || answer == "JL 750OK\r\n")) {
                    m_state = kCompatibilityMode;
                    break;
                }
            }
            if (m_inUse)
                break;
        }
    }

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
    const bool named = m_name == QLatin1String("Halvern 1450") || m_name == QLatin1String("Jorlith 750");
    Commands::Entry last;
    if (lCommand >= 0 && lCommand < static_cast<qint32>(kCommandTable.size())) {
        const CommandRow &row = kCommandTable[static_cast<std::size_t>(lCommand)];
        if (named && row.namedAnswersOkAtOnce)
            return QStringLiteral("OK");
        for (const CommandStep &step : named ? row.named : row.other) {
            if (step.text.empty())
                break;
            last = m_commands.Add(QString::fromLatin1(step.text.data(), static_cast<qsizetype>(step.text.size())), true);
            if (last)
                last->setWait(step.wait);
        }
    }
    if (m_commands.Send() && last)
        return last->Answer();
    return QString();
}

QString Scanner::ConvertToHex(const QString &strIn)
{
    if (strIn.isEmpty())
        return QString();
    // Characters outside the single-byte range go out as '?', as a
    // single-byte code page would write them.
    const char16_t c = strIn.front().unicode();
    const unsigned code = c <= 0xFF ? c : static_cast<unsigned>('?');
    return QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0')).toUpper();
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
    if (m_replyWait) {
        m_handlerAbandoned = true;
        m_replyWait->quit();
    }
}

void Scanner::connectReceive()
{
    // Queued: the handler waits for the rest of a reply in an event loop of
    // its own, and the port announces new bytes only once its current
    // announcement has returned.
    if (m_comm)
        m_receiveConnection = connect(m_comm, &SerialPort::received, this, &Scanner::handleReceive, Qt::QueuedConnection);
}

void Scanner::handleReceive()
{
    if (m_inHandler || !m_receiveHandling || m_flags.bProgramming || !m_comm)
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
        const auto deadline = std::chrono::steady_clock::now() + m_timings.replyBound;
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

bool Scanner::waitForMoreBytes(std::chrono::steady_clock::time_point deadline)
{
    using namespace std::chrono;
    while (m_comm && m_comm->inBufferCount() == 0) {
        const auto left = ceil<milliseconds>(deadline - steady_clock::now());
        if (left.count() <= 0)
            return false;
        QEventLoop loop;
        QTimer bound;
        bound.setSingleShot(true);
        connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
        connect(m_comm, &SerialPort::received, &loop, &QEventLoop::quit);
        connect(m_comm, &SerialPort::lineLost, &loop, &QEventLoop::quit);
        bound.start(left);
        m_replyWait = &loop;
        loop.exec();
        m_replyWait = nullptr;
        if (m_handlerAbandoned || m_flags.bProgramming) {
            m_handlerAbandoned = true;
            return false;
        }
    }
    return m_comm != nullptr;
}

} // namespace romwright
