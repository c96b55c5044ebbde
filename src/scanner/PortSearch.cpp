#include "scanner/PortSearch.h"

#include "family/BootLetters.h"
#include "scanner/ChooserAnswer.h"
#include "scanner/IdentityQuery.h"

#include <algorithm>
#include <memory>

namespace romwright {
namespace {

void closePort(SerialPort &port)
{
    if (port.portOpen())
        port.setPortOpen(false);
}

const QString kEnumerationSettings = QStringLiteral("19200,n,8,1");

// One candidate port while the rows are asked. The port's error kinds are
// absorbed the way detection needs them: a refused value or a port another
// program holds gives the port up; a port that is missing, cannot be opened
// or is not open just yields no answer; a line that fails while writing is
// given up like a held one.
struct ProbedPort {
    qint16 number = 0;
    std::unique_ptr<SerialPort> port;
    bool refused = false;
    bool inUse = false;   // also set when the line fails while writing
    bool done = false;    // answered, or given up
    bool oldBoot = false; // heard what a "Z" at 19200 sounds like at 38400
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
    void close() { closePort(*port); }
};

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

// Every port that opens is a candidate; only whether it opens counts here.
// Those refused or held by another program are said in search.
std::vector<qint16> openCandidates(SerialPort &comm, PortSearch &search)
{
    std::vector<qint16> candidates;
    for (const int port : comm.presentPorts()) {
        const auto n = qint16(port);
        closePort(comm);
        if (comm.setCommPort(n) != CommError::None)
            continue;
        comm.setSettings(kEnumerationSettings);
        const CommError opened = comm.setPortOpen(true);
        if (opened == CommError::PermissionDenied)
            search.refused.push_back({n, deviceAccess(comm.deviceName())});
        else if (opened == CommError::PortInUse)
            search.held.push_back({n, comm.deviceName()});
        if (comm.portOpen())
            candidates.push_back(n);
    }
    return candidates;
}

// One search over the candidate ports: the model rows, then the listen for
// the old boot software.
class SearchRun {
public:
    SearchRun(PortSearch &search, SerialPort &comm, const std::vector<qint16> &candidates,
              const ScannerModels &models, DetectionEvents &events)
        : m_search(search), m_models(models), m_events(events)
    {
        for (const qint16 p : candidates) {
            m_ports.emplace_back();
            m_ports.back().number = p;
            m_ports.back().port = comm.sibling();
        }
    }
    ~SearchRun()
    {
        for (ProbedPort &p : m_ports)
            p.close();
    }

    // Each row goes to every port still being asked. The highest-numbered
    // port with a scanner wins, whichever row found it. False when the user
    // chose Exit in the chooser.
    bool askRows(Clock &clock, Clock::ms probeWait)
    {
        for (const auto &model : m_models) {
            const std::vector<ProbedPort *> asked = askRow(m_ports, *model, clock, probeWait);
            for (ProbedPort *probed : asked)
                if (!judge(*probed, *model))
                    return false;
        }
        return true;
    }

    // The old boot software says "Z" at 19200 every so often, unasked: a port
    // that heard its echo at 38400 is listened to at its rate once more.
    bool listenForOldBoot(Clock &clock)
    {
        std::vector<ProbedPort *> echoes;
        for (ProbedPort &p : m_ports) {
            p.close();
            if (p.oldBoot && !p.done) {
                p.absorb(p.port->setSettings(kEnumerationSettings));
                p.absorb(p.port->setPortOpen(true));
                if (!p.givenUp() && p.port->portOpen())
                    echoes.push_back(&p);
            }
        }
        if (!echoes.empty())
            clock.pause(kOldBootListen);
        for (ProbedPort *probed : echoes) {
            const QByteArray heard = probed->port->input();
            probed->close();
            if (cleanGreeting(heard, kOldBootBaud)) {
                if (!greeted(*probed, heard.front()))
                    return false;
            } else if (!heard.isEmpty()) {
                m_search.unclear.emplace_back(probed->number, heard);
            }
        }
        return true;
    }

private:
    // What one port answered one row; false when the user chose Exit.
    bool judge(ProbedPort &probed, const ScannerModel &model)
    {
        const int baud = model.Baud.toInt();
        const QByteArray &answer = probed.answer;
        if (!answer.isEmpty() && answer != "0") {
            if (const char greeting = cleanGreeting(answer, baud))
                return greeted(probed, greeting);
            if (answer == model.VersionData.toLatin1() + "\r\n") {
                found(probed, FoundScanner{probed.number, model.ScannerName, model.TypeOfScanner});
                return true;
            }
            // A Jorlith in its compatibility mode leaves the port without a find.
            if (compatibilityFamily(model, answer)) {
                m_search.compatibilityMode = true;
                probed.done = true;
                return true;
            }
            // Another model's answer is that model's row's to find.
            if (soundsLikeOldBootAt(answer, baud)) {
                probed.oldBoot = true;
            } else if (!isIdentityAt(answer, baud, m_models)) {
                m_search.unclear.emplace_back(probed.number, answer);
                probed.done = true;
                return true;
            }
        }
        if (probed.inUse)
            probed.done = true;
        return true;
    }

    void found(ProbedPort &probed, const FoundScanner &scanner)
    {
        if (!m_search.winner || probed.number > m_search.winner->port)
            m_search.winner = scanner;
        m_search.found.push_back(scanner);
        probed.done = true;
    }

    // A boot software's greeting cannot name the model: the chooser does.
    // False when the user chose Exit there.
    bool greeted(ProbedPort &probed, char greeting)
    {
        for (ProbedPort &p : m_ports)
            p.close(); // none held while the user chooses; the next row opens them again
        m_events.detecting(false);
        const std::optional<QString> choice = m_events.chooseModel();
        m_events.detecting(true);
        if (!choice) {
            m_search.exitChosen = true;
            return false;
        }
        // Closed without a choice: the scanner is there, its model unknown
        // until PROGRAM asks again.
        FoundScanner scanner = choice->isEmpty() ? FoundScanner{probed.number, QString(), kNotDetected}
                                                 : foundAs(probed.number, familyChosen(*choice));
        scanner.bootPrompt = greeting;
        found(probed, scanner);
        return true;
    }

    PortSearch &m_search;
    const ScannerModels &m_models;
    DetectionEvents &m_events;
    std::vector<ProbedPort> m_ports;
};

} // namespace

PortSearch searchPorts(SerialPort &comm, const ScannerModels &models, Clock &clock, DetectionEvents &events,
                       Clock::ms probeWait)
{
    PortSearch search;
    const std::vector<qint16> candidates = openCandidates(comm, search);
    if (candidates.empty())
        return search;
    search.opened = true;
    closePort(comm);
    comm.setCommPort(candidates.back());
    {
        SearchRun run(search, comm, candidates, models, events);
        if (!run.askRows(clock, probeWait) || !run.listenForOldBoot(clock))
            return search;
    }
    std::sort(search.found.begin(), search.found.end(),
              [](const FoundScanner &a, const FoundScanner &b) { return a.port < b.port; });
    return search;
}

} // namespace romwright
