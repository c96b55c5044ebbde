#include "platform/ChildProcess.h"

#include <QProcess>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace romwright {

bool isTerminal(std::FILE *stream)
{
    return ::isatty(fileno(stream)) == 1;
}

void matchConsoleCodePage()
{
    // A terminal shows the bytes of the locale the program writes in.
}

void startInOwnGroup(QProcess &process)
{
    process.setChildProcessModifier([] {
        ::setpgid(0, 0);
#ifdef __linux__
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
    });
}

void sendSignal(QProcess &process, int signal)
{
    if (process.processId() > 0)
        ::kill(pid_t(process.processId()), signal);
}

class StandardInput::Source {
public:
    QSocketNotifier notifier{0, QSocketNotifier::Read};
};

StandardInput::StandardInput() = default;
StandardInput::~StandardInput() = default;

void StandardInput::setEnabled(bool enabled)
{
    if (m_ended)
        return;
    if (!m_source && enabled) {
        m_source = std::make_unique<Source>();
        connect(&m_source->notifier, &QSocketNotifier::activated, this, &StandardInput::read);
    }
    m_enabled = enabled;
    if (m_source)
        m_source->notifier.setEnabled(enabled);
}

void StandardInput::read()
{
    char buffer[4096];
    const ssize_t n = ::read(0, buffer, sizeof buffer);
    if (n > 0) {
        emit bytes(QByteArray(buffer, int(n)));
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
        m_ended = true;
        m_source->notifier.setEnabled(false);
        emit ended();
    }
}

} // namespace romwright
