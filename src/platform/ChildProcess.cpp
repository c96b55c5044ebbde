#include "platform/ChildProcess.h"

#include <QProcess>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace romwright {

bool isTerminal(std::FILE *stream)
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stream)) != 0;
#else
    return ::isatty(fileno(stream)) == 1;
#endif
}

void startInOwnGroup(QProcess &process)
{
#ifdef Q_OS_UNIX
    process.setChildProcessModifier([] {
        ::setpgid(0, 0);
#ifdef Q_OS_LINUX
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
    });
#else
    Q_UNUSED(process);
#endif
}

void sendSignal(QProcess &process, int signal)
{
    if (process.processId() <= 0)
        return;
#ifdef Q_OS_UNIX
    ::kill(pid_t(process.processId()), signal);
#else
    Q_UNUSED(signal);
    process.terminate();
#endif
}

StandardInput::StandardInput() = default;
StandardInput::~StandardInput() = default;

void StandardInput::setEnabled(bool enabled)
{
    if (m_ended)
        return;
    if (!m_notifier && enabled) {
        // Standard input is descriptor 0 everywhere; Windows's console input
        // is no socket, so there a closed or unreadable input ends the run's
        // prompts at once rather than hanging them.
        m_notifier = std::make_unique<QSocketNotifier>(0, QSocketNotifier::Read);
        if (!m_notifier->isValid()) {
            m_ended = true;
            emit ended();
            return;
        }
        connect(m_notifier.get(), &QSocketNotifier::activated, this, &StandardInput::read);
    }
    if (m_notifier)
        m_notifier->setEnabled(enabled);
}

void StandardInput::read()
{
    char buffer[4096];
#ifdef Q_OS_WIN
    const int n = ::_read(0, buffer, sizeof buffer);
#else
    const ssize_t n = ::read(0, buffer, sizeof buffer);
#endif
    if (n > 0) {
        emit bytes(QByteArray(buffer, int(n)));
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
        m_ended = true;
        m_notifier->setEnabled(false);
        emit ended();
    }
}

} // namespace romwright
