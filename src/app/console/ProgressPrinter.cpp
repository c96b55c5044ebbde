#include "app/console/ProgressPrinter.h"

#include "app/console/JsonEvents.h"
#include "app/update/UpdateJson.h"

#include <QString>

namespace romwright {

ProgressPrinter::ProgressPrinter(std::FILE *out, bool terminal) : m_out(out), m_terminal(terminal) {}

QString ProgressPrinter::clock(qint64 seconds)
{
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void ProgressPrinter::breakLine()
{
    if (!m_barOpen)
        return;
    drawBar(m_last); // what was skipped to save time is shown now
    std::fputc('\n', m_out);
    std::fflush(m_out);
    m_barOpen = false;
}

void ProgressPrinter::show(const TransferProgress &p)
{
    if (p.blocksTotal == 0)
        return;
    if (p.blocksSent == 0) {
        m_started.start();
        m_lastTenth = -1;
        m_lastPercent = -1;
        m_lastDrawMs = -1;
    }
    m_last = p;
    const bool last = p.blocksSent == p.blocksTotal;
    const qint64 elapsedMs = m_started.elapsed();

    if (report && report->json()) {
        event(p, elapsedMs);
        return;
    }
    if (m_terminal) {
        // Redrawing more than ten times a second only costs time.
        if (!last && p.blocksSent > 0 && m_lastDrawMs >= 0 && elapsedMs - m_lastDrawMs < 100)
            return;
        m_lastDrawMs = elapsedMs;
        drawBar(p);
        m_barOpen = !last;
        if (last)
            std::fputc('\n', m_out);
        std::fflush(m_out);
        return;
    }
    const int percent = static_cast<int>(100 * static_cast<qint64>(p.blocksSent) / p.blocksTotal);
    const int tenth = percent / 10;
    if (tenth == m_lastTenth)
        return;
    m_lastTenth = tenth;
    const qint64 rate = elapsedMs > 0 ? p.bytesSent * 1000 / elapsedMs : 0;
    const qint64 left = rate > 0 ? (p.bytesTotal - p.bytesSent + rate - 1) / rate : 0;
    std::fprintf(m_out, "%s: %3d%% (%d of %d blocks, %lld B/s, %s left)\n",
                 p.pass == Pass::Bootloader ? "Bootloader" : "Firmware", tenth * 10, p.blocksSent,
                 p.blocksTotal, static_cast<long long>(rate), qPrintable(clock(left)));
    std::fflush(m_out);
}

// A line per record would cost the pass time and tell a script nothing more.
void ProgressPrinter::event(const TransferProgress &p, qint64 elapsedMs)
{
    const int percent = static_cast<int>(100 * static_cast<qint64>(p.blocksSent) / p.blocksTotal);
    if (percent == m_lastPercent)
        return;
    m_lastPercent = percent;
    report->event({{json::kEvent, json::events::kProgress},
                   {QStringLiteral("pass"),
                    p.pass == Pass::Bootloader ? QStringLiteral("bootloader") : QStringLiteral("firmware")},
                   {QStringLiteral("sent"), p.blocksSent},
                   {QStringLiteral("total"), p.blocksTotal},
                   {QStringLiteral("bytes"), p.bytesSent},
                   {QStringLiteral("bytesTotal"), p.bytesTotal},
                   {QStringLiteral("ms"), elapsedMs}});
}

void ProgressPrinter::drawBar(const TransferProgress &p)
{
    constexpr int kWidth = 30;
    const qint64 elapsedMs = m_started.elapsed();
    const qint64 rate = elapsedMs > 0 ? p.bytesSent * 1000 / elapsedMs : 0;
    const qint64 left = rate > 0 ? (p.bytesTotal - p.bytesSent + rate - 1) / rate : 0;
    const int percent = static_cast<int>(100 * static_cast<qint64>(p.blocksSent) / p.blocksTotal);
    const int filled = kWidth * p.blocksSent / p.blocksTotal;
    const QString bar = QString(filled, QLatin1Char('#')) + QString(kWidth - filled, QLatin1Char('-'));
    std::fprintf(m_out, "\r%-10s [%s] %3d%%  %6lld B/s  %s left ",
                 p.pass == Pass::Bootloader ? "Bootloader" : "Firmware", qPrintable(bar), percent,
                 static_cast<long long>(rate), qPrintable(clock(left)));
}

} // namespace romwright
