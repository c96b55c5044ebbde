#include "platform/LineLatency.h"

#include <QFileInfo>

namespace romwright {

void LineLatency::lower(int fd, const QString &device)
{
    m_flagSet = m_access.lowLatency(fd) == false && m_access.setLowLatency(fd, true);

    // The link a port map names ("/dev/serial/by-id/...") leads to the terminal.
    const QString resolved = QFileInfo(device).canonicalFilePath();
    m_tty = QFileInfo(resolved.isEmpty() ? device : resolved).fileName();
    m_timerWas.reset();
    if (const std::optional<int> was = m_access.latencyTimer(m_tty); was && *was != kTimerMs) {
        if (m_access.setLatencyTimer(m_tty, kTimerMs))
            m_timerWas = was;
    }
}

void LineLatency::restore(int fd)
{
    if (m_flagSet)
        m_access.setLowLatency(fd, false);
    if (m_timerWas)
        m_access.setLatencyTimer(m_tty, *m_timerWas);
    m_flagSet = false;
    m_timerWas.reset();
}

} // namespace romwright
