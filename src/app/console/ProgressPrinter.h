#pragma once
// The progress of a block pass on a terminal: a bar redrawn in place with
// percentage, bytes per second and time left; elsewhere (a pipe, a log) a
// line at every tenth of the pass.

#include "flash/BlockTransfer.h"

#include <QElapsedTimer>
#include <cstdio>

namespace romwright {

class ProgressPrinter {
public:
    ProgressPrinter(std::FILE *out, bool terminal);

    void show(const TransferProgress &progress);

    // "0:42" style.
    static QString clock(qint64 seconds);

private:
    std::FILE *m_out;
    bool m_terminal;
    QElapsedTimer m_started;
    int m_lastTenth = -1;
    qint64 m_lastDrawMs = -1;
};

} // namespace romwright
