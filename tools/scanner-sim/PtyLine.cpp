#include "PtyLine.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace romwright::sim {

namespace {

int rateOf(speed_t speed)
{
    switch (speed) {
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    default:
        return 0;
    }
}

speed_t speedOf(int rate)
{
    switch (rate) {
    case 19200:
        return B19200;
    case 9600:
        return B9600;
    default:
        return B38400;
    }
}

} // namespace

PtyLine::~PtyLine()
{
    hangUp();
}

bool PtyLine::open(const std::string &link, int initialRate, std::string &error)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    const char *name = ::ptsname(m_master);
    if (!name) {
        error = "cannot name the pseudo-terminal";
        return false;
    }
    m_terminal = name;
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_slave < 0) {
        error = std::string("cannot open ") + name + ": " + std::strerror(errno);
        return false;
    }
    // Raw, no echo: without a program on the line nothing must come back.
    // EXTPROC with packet mode on our side makes every settings change of
    // the program's side a notification here, so bytes written just before
    // a rate change are still taken at the rate they were sent at.
    termios t{};
    ::tcgetattr(m_slave, &t);
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_lflag |= EXTPROC;
    ::cfsetspeed(&t, speedOf(initialRate));
    ::tcsetattr(m_slave, TCSANOW, &t);

    int packet = 1;
    if (::ioctl(m_master, TIOCPKT, &packet) != 0) {
        error = std::string("cannot put the terminal in packet mode: ") + std::strerror(errno);
        return false;
    }

    m_watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_watch < 0 || ::inotify_add_watch(m_watch, name, IN_OPEN | IN_CLOSE) < 0) {
        error = std::string("cannot watch ") + name + ": " + std::strerror(errno);
        return false;
    }

    // The link appears in one step, so whoever waits for it finds it whole.
    const std::string temporary = link + ".new";
    ::unlink(temporary.c_str());
    if (::symlink(name, temporary.c_str()) != 0 || ::rename(temporary.c_str(), link.c_str()) != 0) {
        error = "cannot make the link " + link + ": " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    m_link = link;
    return true;
}

void PtyLine::removeLink()
{
    if (m_link.empty())
        return;
    char target[PATH_MAX];
    const ssize_t n = ::readlink(m_link.c_str(), target, sizeof target - 1);
    // Only our own link: a later simulator may have taken the name.
    if (n > 0 && std::string(target, std::size_t(n)) == m_terminal)
        ::unlink(m_link.c_str());
    m_link.clear();
}

void PtyLine::hangUp()
{
    removeLink();
    for (int *fd : {&m_watch, &m_slave, &m_master}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    m_opens = 0;
}

int PtyLine::programSendRate() const
{
    termios t{};
    if (m_master < 0 || ::tcgetattr(m_master, &t) != 0)
        return 0;
    return rateOf(::cfgetospeed(&t));
}

int PtyLine::programListenRate() const
{
    termios t{};
    if (m_master < 0 || ::tcgetattr(m_master, &t) != 0)
        return 0;
    const speed_t in = ::cfgetispeed(&t);
    return rateOf(in == B0 ? ::cfgetospeed(&t) : in);
}

void PtyLine::readWatch()
{
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_watch, buffer, sizeof buffer);
        if (n <= 0)
            return;
        for (ssize_t at = 0; at < n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            if (event->mask & IN_OPEN) {
                ++m_opens;
                m_opened = true;
            }
            if (event->mask & IN_CLOSE) {
                m_opens = m_opens > 0 ? m_opens - 1 : 0;
                // What the program did not read goes with its port.
                if (m_opens == 0 && m_slave >= 0)
                    ::tcflush(m_slave, TCIFLUSH);
            }
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
}

bool PtyLine::takeOpened()
{
    return std::exchange(m_opened, false);
}

PtyLine::Chunk PtyLine::read(std::uint8_t *buffer, std::size_t size)
{
    Chunk chunk;
    chunk.count = -1;
    if (m_master < 0 || size < 2)
        return chunk;
    // Packet mode: the first byte says what the rest is.
    const ssize_t n = ::read(m_master, buffer, size);
    if (n <= 0)
        return chunk;
    if (buffer[0] == TIOCPKT_DATA) {
        std::memmove(buffer, buffer + 1, std::size_t(n - 1));
        chunk.count = long(n - 1);
        return chunk;
    }
    chunk.count = 0;
    chunk.settingsChanged = (buffer[0] & TIOCPKT_IOCTL) != 0;
    return chunk;
}

std::size_t PtyLine::write(const std::uint8_t *bytes, std::size_t count)
{
    if (m_master < 0 || count == 0)
        return 0;
    const ssize_t n = ::write(m_master, bytes, count);
    return n > 0 ? std::size_t(n) : 0;
}

} // namespace romwright::sim
