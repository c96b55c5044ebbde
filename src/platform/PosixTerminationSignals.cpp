#include "platform/TerminationSignals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace romwright {

namespace {

constexpr std::array kSignals = {SIGINT, SIGTERM, SIGHUP};

int g_pipe[2] = {-1, -1};
volatile std::sig_atomic_t g_caught = 0;
struct sigaction g_previous[kSignals.size()];

// Async-signal-safe calls only.
void onTerminationSignal(int signal)
{
    if (g_caught != 0) {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    g_caught = signal;
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void(int signal)> onSignal)
    : m_onSignal(std::move(onSignal))
{
    g_caught = 0;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return; // the signals keep their default: the program ends at once
    }
    auto notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] { notice(); });
    m_notifier = std::move(notifier);
    m_lineSources.push_back(std::make_unique<HandleSource>(g_pipe[0], [this] { notice(); }));
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a blocked read of the terminal returns
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &action, &g_previous[i]);
}

TerminationSignals::~TerminationSignals()
{
    if (g_pipe[0] < 0)
        return;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    m_notifier.reset();
    m_lineSources.clear();
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

int TerminationSignals::lastCaught()
{
    return g_caught;
}

void TerminationSignals::notice()
{
    char bytes[16];
    while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
    }
    if (g_caught != 0 && !m_reported) {
        m_reported = true;
        m_onSignal(g_caught);
    }
}

} // namespace romwright
