#pragma once
// romwright-sim as a child process: on a terminal reached through a link in
// a fresh temporary folder, with its flash dump and transcript beside it;
// killed in the destructor unless it has ended. A sanitizer report on its
// stderr fails the running test.

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

    QString link() const { return m_link; }
    // The terminal behind the link, e.g. "/dev/pts/3".
    QString terminal() const { return m_terminal; }

    // After its final "R" the simulator ends once it has seen the program's
    // port closed, and at the latest 15 s later, whatever it made of the
    // opens and closes it was told of (inotify merges two like events in a
    // row that are read late). The default bound allows for that.
    static constexpr std::chrono::seconds kEndBound{20};

    // Waits for the simulator to end by itself (final "R", --exit-after,
    // --hangup-after). False when it still runs after the bound.
    bool waitForExit(std::chrono::milliseconds bound = kEndBound);
    // SIGTERM and a bounded wait: the simulator writes its dump and log and
    // removes its link. Falls back to SIGKILL.
    void stop();
    bool running() const { return m_process->state() != QProcess::NotRunning; }

    // The flash as the simulator dumped it at exit (empty before).
    QByteArray dump() const;
    // The transcript so far (complete after exit).
    QString transcript() const;
    // What the simulator wrote to stderr.
    QString errorText() const;

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
