#pragma once
// The progress of a block pass on a terminal: a bar redrawn in place with
// percentage, bytes per second and time left; elsewhere (a pipe, a log) a
// line at every tenth of the pass. In JSON mode an event at every
// hundredth, with the counts and the time taken so far.

#include "app/console/ConsoleReport.h"
#include "flash/BlockTransfer.h"

#include <QElapsedTimer>
#include <cstdio>

namespace romwright {

class ProgressPrinter {
public:
    ProgressPrinter(std::FILE *out, bool terminal);

    void show(const TransferProgress &progress);

    // Ends a bar left half drawn, so that another line can be printed.
    void breakLine();

    // "0:42" style.
    static QString clock(qint64 seconds);

    // When set and in JSON mode, progress events go there instead.
    ConsoleReport *report = nullptr;

private:
    void drawBar(const TransferProgress &progress);
    void event(const TransferProgress &progress, qint64 elapsedMs);

    std::FILE *m_out;
    bool m_terminal;
    QElapsedTimer m_started;
    int m_lastTenth = -1;
    int m_lastPercent = -1;
    qint64 m_lastDrawMs = -1;
    bool m_barOpen = false;
    TransferProgress m_last;
};

} // namespace romwright
