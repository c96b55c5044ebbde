#pragma once
// One child of a several-scanner run, supervised: the process that updates
// one scanner, its output cut into lines, a bound on its silence, and the
// end of a child told to end that does not.

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace romwright {

// How long a child told to end has to close its port before it is killed.
inline constexpr std::chrono::milliseconds kChildEndBound{10000};

class ScannerChild {
public:
    struct Hooks {
        std::function<void(const QByteArray &line)> line;   // a line of its standard output
        std::function<void(const QString &line)> errorLine; // a line of its standard error
        std::function<void(const QString &failure)> ended;  // once; failure "" when it ended well
        std::function<std::optional<int>()> reported;       // the status of its result, when it said one
    };
    ScannerChild(std::chrono::milliseconds silenceBound, Hooks hooks);
    ScannerChild(const ScannerChild &) = delete;
    ScannerChild &operator=(const ScannerChild &) = delete;

    // Starts the program itself with ARGUMENTS in a process group of its own.
    // closeInput: nothing will be written to it.
    void start(const QStringList &arguments, bool closeInput);
    // Tells it to end with SIGNAL; WHY ("" for a signal passed on) is kept.
    void stop(const QString &why, int signal);

    // Its power-cycle prompt waits for a person, as long as it takes.
    void promptWaits() { m_silence.stop(); }
    // The answer to its prompt: a line, or the end of its input.
    void answer(bool line);

    bool running() const { return m_running; }
    const QString &stopped() const { return m_stopped; }
    double seconds() const { return double(m_clock.elapsed()) / 1000.0; }

private:
    void readOutput();
    void readErrors(bool all);
    void end(const QString &failure);

    std::chrono::milliseconds m_silenceBound;
    Hooks m_hooks;
    std::unique_ptr<QProcess> m_process;
    QByteArray m_out;
    QByteArray m_err;
    QElapsedTimer m_clock;
    QTimer m_silence; // no word from it for too long
    QTimer m_ending;  // told to end, not ended yet
    QString m_stopped;
    bool m_running = false;
    bool m_killed = false;
};

} // namespace romwright
