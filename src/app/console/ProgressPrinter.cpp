#include "app/console/ProgressPrinter.h"

#include <QString>

namespace romwright {

ProgressPrinter::ProgressPrinter(std::FILE *out, bool terminal)
    : m_out(out)
    , m_terminal(terminal)
{
}

QString ProgressPrinter::clock(qint64 seconds)
{
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void ProgressPrinter::show(const TransferProgress &p)
{
    if (p.blocksTotal == 0)
        return;
    if (p.blocksSent == 0) {
        m_started.start();
        m_lastTenth = -1;
        m_lastDrawMs = -1;
    }
    const char *name = p.pass == Pass::Bootloader ? "Bootloader" : "Firmware";
    const int percent = static_cast<int>(100 * static_cast<qint64>(p.blocksSent) / p.blocksTotal);
    const qint64 elapsedMs = m_started.elapsed();
    const qint64 rate = elapsedMs > 0 ? p.bytesSent * 1000 / elapsedMs : 0;
    const qint64 left = rate > 0 ? (p.bytesTotal - p.bytesSent + rate - 1) / rate : 0;
    const bool last = p.blocksSent == p.blocksTotal;

    if (m_terminal) {
        // Redrawing more than ten times a second only costs time.
        if (!last && p.blocksSent > 0 && m_lastDrawMs >= 0 && elapsedMs - m_lastDrawMs < 100)
            return;
        m_lastDrawMs = elapsedMs;
        constexpr int kWidth = 30;
        const int filled = kWidth * p.blocksSent / p.blocksTotal;
        const QString bar = QString(filled, QLatin1Char('#')) + QString(kWidth - filled, QLatin1Char('-'));
        std::fprintf(m_out, "\r%-10s [%s] %3d%%  %6lld B/s  %s left ", name, qPrintable(bar), percent,
                     static_cast<long long>(rate), qPrintable(clock(left)));
        if (last)
            std::fputc('\n', m_out);
        std::fflush(m_out);
        return;
    }
    const int tenth = percent / 10;
    if (tenth == m_lastTenth)
        return;
    m_lastTenth = tenth;
    std::fprintf(m_out, "%s: %3d%% (%d of %d blocks, %lld B/s, %s left)\n", name, tenth * 10, p.blocksSent,
                 p.blocksTotal, static_cast<long long>(rate), qPrintable(clock(left)));
    std::fflush(m_out);
}

} // namespace romwright
