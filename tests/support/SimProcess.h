#pragma once
// romwright-sim as a child process for tests: started with the given
// arguments on a terminal reached through a link in a fresh temporary
// folder, with a flash dump and a transcript beside it; killed (SIGKILL) in
// the destructor unless it has already ended. A sanitizer report on the
// simulator's stderr fails the running test.
//
//   SimProcess sim({"--boot", "A", "--start-in-boot"});
//   ASSERT_TRUE(sim.isReady()) << sim.errorText();
//   port.setPortMap(PortMap::fromList(sim.link()));   // or ROMWRIGHT_PORTS
//   ... talk to the scanner ...
//   ASSERT_TRUE(sim.waitForExit(5s));                  // after the final "R"
//   EXPECT_EQ(sim.dump().size(), 65536);

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <initializer_list>
#include <memory>

namespace romwright::test {

class SimProcess {
public:
    // Starts the simulator and waits (at most 5 s) for its link. The link,
    // dump and log paths are added; don't pass --link, --dump or --log.
    explicit SimProcess(const QStringList &arguments = {}, const QString &name = QStringLiteral("sim"));
    ~SimProcess();
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    // The link exists and the simulator serves it.
    bool isReady() const { return m_ready; }
    QString link() const { return m_link; }
    QString dumpPath() const { return m_dumpPath; }
    QString logPath() const { return m_logPath; }
    // The terminal behind the link, e.g. "/dev/pts/3".
    QString terminal() const { return m_terminal; }

    // Waits for the simulator to end by itself (final "R", --exit-after,
    // --hangup-after). False when it still runs after the bound.
    bool waitForExit(std::chrono::milliseconds bound);
    // SIGTERM and a bounded wait: the simulator writes its dump and log and
    // removes its link. Falls back to SIGKILL.
    void stop();
    bool running() const;
    int exitCode() const;

    // The flash as the simulator dumped it at exit (empty before).
    QByteArray dump() const;
    // The transcript so far (complete after exit).
    QString transcript() const;
    // What the simulator wrote to stderr.
    QString errorText() const;

    // The romwright-sim in the build's program folder.
    static QString program();
    // A ROMWRIGHT_PORTS value: the sims' links in the given order, nullptr
    // for a port number without a device.
    static QString portList(std::initializer_list<const SimProcess *> sims);

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    QString m_link;
    QString m_dumpPath;
    QString m_logPath;
    QString m_terminal;
    QString m_startError;
    mutable QString m_stderr;
    bool m_ready = false;
};

} // namespace romwright::test
