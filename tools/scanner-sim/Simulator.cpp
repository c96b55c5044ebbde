#include "Simulator.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <sys/timerfd.h>
#include <unistd.h>
#include <vector>

namespace romwright::sim {

namespace {

// After the final "R" the simulator stays until the program has closed its
// port, so the program never sees the line drop while it finishes; at most
// this long.
constexpr std::chrono::seconds kLinger{15};
// The new firmware waits this long with the port closed for the program to
// come back and ask its identity.
constexpr std::chrono::milliseconds kIdentityGrace{1500};
constexpr std::chrono::milliseconds kHangUpGrace{50};
// Bytes read this soon after a settings change were sent before it.
constexpr std::chrono::milliseconds kChangeWindow{3};

} // namespace

Simulator::Simulator(const SimOptions &options)
    : m_options(options), m_start(Clock::now()), m_transcript(m_start), m_scanner(m_options, *this),
      m_inFree(m_start), m_outFree(m_start), m_now(m_start)
{
}

Simulator::~Simulator()
{
    if (m_timerFd >= 0)
        ::close(m_timerFd);
    if (m_signalFd >= 0)
        ::close(m_signalFd);
}

bool Simulator::setUp(std::string &error)
{
    // Deadlines are met to the microsecond, not to the default 50 us slack.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    // The simulator is only as exact as its wake-ups: paced like a cable,
    // and in placing the bytes it reads together with a rate change, which
    // count as sent before the change (the program keeps a few quiet
    // milliseconds on both sides of one). On a busy machine a higher priority
    // keeps the wake-ups on time (allowed for root only, and harmless to
    // skip: the loop sleeps between bytes).
    ::setpriority(PRIO_PROCESS, 0, -10);
    ::signal(SIGPIPE, SIG_IGN);
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    ::sigprocmask(SIG_BLOCK, &signals, nullptr);
    m_signalFd = ::signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
    m_timerFd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_signalFd < 0 || m_timerFd < 0) {
        error = std::string("cannot set up the event loop: ") + std::strerror(errno);
        return false;
    }
    if (!m_options.log.empty() && !m_transcript.open(m_options.log)) {
        error = "cannot write " + m_options.log;
        return false;
    }
    if (!m_options.flash.empty() && ::access(m_options.flash.c_str(), F_OK) == 0 &&
        !m_scanner.loadFlash(m_options.flash)) {
        error = "cannot read the flash from " + m_options.flash + " (65,536 bytes)";
        return false;
    }
    const int initialRate =
        m_options.startInBoot ? (m_options.boot == BootKind::Old ? 19200 : 38400) : m_options.rate;
    return m_line.open(m_options.link, initialRate, error);
}

int Simulator::run()
{
    std::string error;
    if (!setUp(error)) {
        std::fprintf(stderr, "romwright-sim: %s\n", error.c_str());
        return 1;
    }
    note("terminal " + m_line.terminalName() + ", link " + m_options.link);
    m_knownRate = m_line.programSendRate();
    m_scanner.start();
    if (m_options.exitAfter) {
        startTimer(
            std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(*m_options.exitAfter)),
            [this] {
                note("exit after " + std::to_string(*m_options.exitAfter) + " s");
                m_quit = true;
            });
    }
    // Whoever started us waits for this line: the link exists now.
    std::printf("ready %s\n", m_line.terminalName().c_str());
    std::fflush(stdout);

    while (!m_quit) {
        const Clock::time_point now = Clock::now();
        m_now = now;
        deliverDue(now);
        writeDue(now);
        while (!m_quit && fireDueTimer(Clock::now())) {
        }
        writeDue(Clock::now());
        if (m_hangUp && m_out.empty()) {
            // A hang-up throws away what the program has not read yet; the
            // last acknowledgement is given the time to be read first.
            if (m_hangUpAt == Clock::time_point::max())
                m_hangUpAt = Clock::now() + kHangUpGrace;
            if (Clock::now() >= m_hangUpAt) {
                note("hanging up the line");
                m_line.hangUp();
                break;
            }
        }
        if (m_line.programHasPortOpen())
            m_closedSince = Clock::time_point::max();
        else if (m_closedSince == Clock::time_point::max())
            m_closedSince = Clock::now();
        if (m_complete && m_out.empty() &&
            ((!m_line.programHasPortOpen() &&
              (!m_scanner.awaitsIdentity() || Clock::now() >= m_closedSince + kIdentityGrace)) ||
             Clock::now() >= m_lingerUntil))
            break;
        if (m_quit)
            break;

        armWakeup(nextDeadline());
        m_transcript.flush();
        pollfd fds[4] = {{m_signalFd, POLLIN, 0},
                         {m_timerFd, POLLIN, 0},
                         {m_line.watchFd(), POLLIN, 0},
                         {m_line.masterFd(), POLLIN, 0}};
        const int count = ::poll(fds, 4, -1);
        if (count < 0 && errno != EINTR) {
            std::perror("romwright-sim: poll");
            break;
        }
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info{};
            if (::read(m_signalFd, &info, sizeof info) > 0)
                note("signal " + std::to_string(info.ssi_signo));
            break;
        }
        if (fds[1].revents & POLLIN) {
            std::uint64_t expirations = 0;
            [[maybe_unused]] const ssize_t n = ::read(m_timerFd, &expirations, sizeof expirations);
        }
        // Opens and closes first: bytes that follow an open belong to it.
        if (fds[2].revents & POLLIN)
            m_line.readWatch();
        if (fds[3].revents & POLLIN)
            readLine();
    }
    writeDump();
    if (const std::string turnaround = m_turnaround.text(); !turnaround.empty())
        note(turnaround);
    m_transcript.flush();
    m_line.hangUp();
    return 0;
}

Clock::duration Simulator::byteTime(int rate) const
{
    if (!m_options.lineRate || rate <= 0)
        return Clock::duration::zero();
    // Start bit, 8 data bits, stop bit.
    return std::chrono::nanoseconds(10'000'000'000LL / rate);
}

// The rate of the bytes read: what the program's side holds now, except
// for bytes that were on their way when the program changed the rate. Those
// were written before the change, so they count at the rate before it. The
// port layer leaves a few milliseconds of quiet on both sides of a rate
// change on a pseudo-terminal, and the program itself pauses or waits for
// an answer after one, so bytes found together with the change or just
// after it are the ones written before it. The settings an open writes are
// no change: the first bytes after an open are at the rate it set.
void Simulator::readLine()
{
    if (m_line.takeOpened())
        m_opening = true;
    bool changedThisTime = false; // a late wakeup finds the change and the bytes before it together
    std::uint8_t buffer[4097];
    for (;;) {
        const PtyLine::Chunk chunk = m_line.read(buffer, sizeof buffer);
        if (chunk.count < 0)
            break;
        const Clock::time_point now = Clock::now();
        if (chunk.settingsChanged) {
            m_transcript.note(now, "the program set " + std::to_string(m_line.programSendRate()) + " baud" +
                                       (m_opening ? " (opening)" : ""));
            if (!m_opening) {
                if (now - m_settingsChangedAt >= kChangeWindow)
                    m_rateBeforeChange = m_knownRate;
                m_settingsChangedAt = now;
                changedThisTime = true;
            }
            continue;
        }
        const bool beforeTheChange =
            !m_opening && (changedThisTime || now - m_settingsChangedAt < kChangeWindow);
        m_opening = false;
        const int rate = beforeTheChange ? m_rateBeforeChange : m_line.programSendRate();
        if (chunk.count > 0)
            m_turnaround.answered(now, buffer[0] == 'P');
        for (long i = 0; i < chunk.count; ++i) {
            const Clock::time_point at = std::max(now, m_inFree) + byteTime(rate);
            m_inFree = at;
            m_in.push_back({buffer[i], rate, at});
        }
    }
    m_knownRate = m_line.programSendRate();
    deliverDue(Clock::now());
}

// Bytes are handed to the scanner once they would have fully arrived; the
// scanner acts at that moment, so its answers are timed from it.
void Simulator::deliverDue(Clock::time_point now)
{
    while (!m_in.empty() && m_in.front().at <= now && !m_quit && !m_hangUp) {
        const Pending p = m_in.front();
        m_in.pop_front();
        m_now = p.at;
        m_transcript.byte(p.at, "in", p.byte, p.rate);
        m_scanner.receive(p.byte, p.rate);
    }
    m_now = now;
}

void Simulator::writeDue(Clock::time_point now)
{
    // Everything due goes out in one write: a stray byte in front of an
    // acknowledgement reaches the program in the same read as the letter,
    // however busy the machine is.
    std::vector<Pending> due;
    while (!m_out.empty() && m_out.front().at <= now) {
        due.push_back(m_out.front());
        m_out.pop_front();
    }
    if (due.empty())
        return;
    if (!m_line.programHasPortOpen()) {
        for (const Pending &p : due)
            m_transcript.byte(now, "out", p.byte, p.rate, "lost: the port is closed");
        return;
    }
    const int listening = m_line.programListenRate();
    std::vector<std::uint8_t> bytes;
    bytes.reserve(due.size());
    for (const Pending &p : due)
        bytes.push_back(listening == p.rate ? p.byte : garbled(p.byte));
    const std::size_t sent = m_line.write(bytes.data(), bytes.size());
    for (std::size_t i = 0; i < due.size(); ++i) {
        const Pending &p = due[i];
        const bool written = i < sent;
        // Only the bootloader's record acknowledgement is a "p".
        if (written && bytes[i] == 'p')
            m_turnaround.acknowledged(Clock::now());
        m_transcript.byte(now, "out", p.byte, p.rate,
                          !written              ? "lost: the terminal is full"
                          : listening != p.rate ? "heard as garbage at another rate"
                                                : "");
    }
}

void Simulator::send(std::string_view bytes, int rate)
{
    for (const char c : bytes) {
        Clock::time_point at = m_now;
        if (m_options.lineRate) {
            // The byte is on the program's side once its last bit is.
            at = std::max(m_now, m_outFree) + byteTime(rate);
            m_outFree = at;
        }
        if (m_options.ackLatency) {
            // The adapter passes what it holds on when its timer runs out.
            const Clock::duration period = *m_options.ackLatency;
            const Clock::duration since = at - m_start;
            at = m_start + (since + period - Clock::duration(1)) / period * period;
        }
        m_out.push_back({std::uint8_t(c), rate, at});
    }
    writeDue(Clock::now());
}

ScannerHost::TimerId Simulator::startTimer(Clock::duration delay, std::function<void()> action)
{
    const TimerId id = m_nextTimer++;
    m_timers.push_back({id, m_now + delay, std::move(action)});
    return id;
}

void Simulator::cancelTimer(TimerId id)
{
    std::erase_if(m_timers, [id](const Timer &t) { return t.id == id; });
}

bool Simulator::fireDueTimer(Clock::time_point now)
{
    const auto it = std::min_element(m_timers.begin(), m_timers.end(),
                                     [](const Timer &a, const Timer &b) { return a.at < b.at; });
    if (it == m_timers.end() || it->at > now)
        return false;
    Timer timer = std::move(*it);
    m_timers.erase(it);
    m_now = timer.at;
    timer.action();
    m_now = now;
    return true;
}

Clock::time_point Simulator::nextDeadline() const
{
    Clock::time_point next = Clock::time_point::max();
    if (!m_in.empty())
        next = std::min(next, m_in.front().at);
    if (!m_out.empty())
        next = std::min(next, m_out.front().at);
    for (const Timer &t : m_timers)
        next = std::min(next, t.at);
    if (m_complete)
        next = std::min(next, m_lingerUntil);
    if (m_complete && m_closedSince != Clock::time_point::max())
        next = std::min(next, m_closedSince + kIdentityGrace);
    next = std::min(next, m_hangUpAt);
    return next;
}

void Simulator::armWakeup(Clock::time_point at)
{
    itimerspec wake{};
    if (at != Clock::time_point::max()) {
        const auto since =
            std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count();
        // An absolute 0 would disarm the timer.
        const long long ns = std::max<long long>(since, 1);
        wake.it_value.tv_sec = ns / 1'000'000'000;
        wake.it_value.tv_nsec = ns % 1'000'000'000;
    }
    ::timerfd_settime(m_timerFd, TFD_TIMER_ABSTIME, &wake, nullptr);
}

void Simulator::note(const std::string &text)
{
    m_transcript.note(m_now, text);
}

void Simulator::complete()
{
    m_complete = true;
    m_lingerUntil = Clock::now() + kLinger;
    writeDump(); // at once: the program may finish before the simulator does
}

void Simulator::hangUp()
{
    m_hangUp = true;
}

void Simulator::writeDump()
{
    for (const std::string &path : {m_options.dump, m_options.flash})
        if (!path.empty() && !m_scanner.flash().dump(path))
            std::fprintf(stderr, "romwright-sim: cannot write %s\n", path.c_str());
}

} // namespace romwright::sim
