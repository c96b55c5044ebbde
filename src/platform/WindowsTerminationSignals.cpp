#include "platform/TerminationSignals.h"

#include "platform/WindowsEndEvent.h"

#include <QWinEventNotifier>

#include <atomic>
#include <csignal>
#include <windows.h>

namespace romwright {

namespace {

// Windows ends the program this long after the close, log-off or shut-down
// notice, whether the handler has returned or not.
constexpr DWORD kCloseGraceMs = 4500;

std::atomic<int> g_caught = 0;
// Set by the handler, until noticed: the event loop's notifier and a line
// clock's wait may both be waiting for it, and the first must not take it
// from the other.
HANDLE g_noted = nullptr;
HANDLE g_unwound = nullptr; // set once the program has unwound

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI onConsoleEvent(DWORD event)
{
    const int signal = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : SIGTERM;
    int none = 0;
    if (!g_caught.compare_exchange_strong(none, signal))
        return FALSE; // a second one: the system's default ends the program at once
    SetEvent(g_noted);
    // Returning from these lets the system end the program there and then.
    if (signal == SIGTERM)
        WaitForSingleObject(g_unwound, kCloseGraceMs);
    return TRUE;
}

// The end event a parent gave this process, or nullptr; a value that is no
// handle of this process is ignored.
HANDLE inheritedEndEvent()
{
    bool ok = false;
    const quintptr value = qEnvironmentVariable(kEndEventVariable).toULongLong(&ok);
    DWORD flags = 0;
    if (!ok || value == 0 || !GetHandleInformation(HANDLE(value), &flags))
        return nullptr;
    return HANDLE(value);
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void(int signal)> onSignal)
    : m_onSignal(std::move(onSignal))
{
    g_caught = 0;
    if (!g_noted)
        g_noted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!g_unwound)
        g_unwound = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!g_noted || !g_unwound)
        return; // the console's events keep their default: the program ends at once
    ResetEvent(g_noted);
    ResetEvent(g_unwound);
    auto notifiers = std::make_unique<QObject>();
    auto *noted = new QWinEventNotifier(g_noted, notifiers.get());
    QObject::connect(noted, &QWinEventNotifier::activated, [this] { notice(); });
    m_lineSources.push_back(std::make_unique<HandleSource>(g_noted, [this] { notice(); }));
    if (HANDLE end = inheritedEndEvent()) {
        m_lineSources.push_back(std::make_unique<HandleSource>(
            end,
            [this] {
                int none = 0;
                g_caught.compare_exchange_strong(none, SIGINT);
                notice();
            },
            HandleSource::Once));
        // The parent's event stays set: heard once here as well.
        auto *parentAsks = new QWinEventNotifier(end, notifiers.get());
        QObject::connect(parentAsks, &QWinEventNotifier::activated, [this, parentAsks] {
            parentAsks->setEnabled(false);
            int none = 0;
            g_caught.compare_exchange_strong(none, SIGINT);
            notice();
        });
    }
    m_notifier = std::move(notifiers);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier)
        return;
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    m_notifier.reset();
    m_lineSources.clear();
    SetEvent(g_unwound);
}

int TerminationSignals::lastCaught()
{
    return g_caught;
}

void TerminationSignals::notice()
{
    ResetEvent(g_noted);
    if (g_caught != 0 && !m_reported) {
        m_reported = true;
        m_onSignal(g_caught);
    }
}

} // namespace romwright
