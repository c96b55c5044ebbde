#include "app/console/MultiScannerPrinter.h"

#include "app/console/ProgressPrinter.h"

#include <algorithm>

namespace romwright {

namespace {

constexpr std::chrono::milliseconds kRedrawInterval{100};

// Fits a cell of the table or a line: longer texts are cut, not wrapped, so
// that a redrawn line stays one line.
QString cell(const QString &text, int width)
{
    return text.size() > width ? text.left(width - 1) + QLatin1Char('~') : text.leftJustified(width);
}

} // namespace

const char *resultName(ScannerRow::State state)
{
    switch (state) {
    case ScannerRow::State::Running:
        return "running";
    case ScannerRow::State::Completed:
        return "completed";
    case ScannerRow::State::Failed:
        return "failed";
    case ScannerRow::State::Interrupted:
        return "interrupted";
    }
    return "";
}

MultiScannerPrinter::MultiScannerPrinter(std::FILE *out, std::FILE *err, bool terminal,
                                         const std::vector<ScannerRow> &rows)
    : m_out(out), m_err(err), m_terminal(terminal), m_rows(rows), m_printed(rows.size())
{
    m_redraw.setSingleShot(true);
    m_redraw.setInterval(kRedrawInterval);
    QObject::connect(&m_redraw, &QTimer::timeout, [this] {
        clearLines();
        drawLines();
    });
}

QString MultiScannerPrinter::line(const ScannerRow &row) const
{
    int modelWidth = 0;
    for (const ScannerRow &r : m_rows)
        modelWidth = std::max(modelWidth, int(r.model.size()));
    QString text = QStringLiteral("port %1  ").arg(row.port, 2);
    if (modelWidth > 0)
        text += cell(row.model, std::min(modelWidth, 16)) + QStringLiteral("  ");
    if (row.state != ScannerRow::State::Running)
        return text + QStringLiteral("%1  %2 s")
                          .arg(QLatin1String(resultName(row.state)))
                          .arg(row.seconds, 0, 'f', 1);
    text += row.step.leftJustified(11);
    if (row.percent >= 0) {
        text += QStringLiteral(" %1 %").arg(row.percent, 3);
        if (row.rate > 0)
            text += QStringLiteral("  %1 B/s  %2 left")
                        .arg(row.rate)
                        .arg(ProgressPrinter::clock(row.secondsLeft));
    }
    return text.trimmed();
}

void MultiScannerPrinter::changed(std::size_t row)
{
    if (m_terminal) {
        if (!m_redraw.isActive())
            m_redraw.start();
        return;
    }
    const ScannerRow &r = m_rows[row];
    const QString key =
        r.state != ScannerRow::State::Running
            ? QLatin1String(resultName(r.state))
            : r.step + QLatin1Char(' ') + QString::number(r.percent < 0 ? -1 : r.percent / 10);
    if (key == m_printed[row])
        return;
    m_printed[row] = key;
    std::fprintf(m_out, "%s\n", qPrintable(line(r)));
    std::fflush(m_out);
}

void MultiScannerPrinter::note(const QString &text, bool error)
{
    clearLines();
    std::fflush(m_out);
    std::FILE *stream = error ? m_err : m_out;
    std::fprintf(stream, "%s\n", qPrintable(text));
    std::fflush(stream);
    if (m_terminal)
        drawLines();
}

void MultiScannerPrinter::prompt(int port)
{
    m_promptPort = port;
    if (m_terminal) {
        clearLines();
        drawLines();
        return;
    }
    if (port != 0) {
        std::fprintf(m_out, "Power-cycle the scanner on port %d, then press Enter\n", port);
        std::fflush(m_out);
    }
}

void MultiScannerPrinter::answered(bool echoed)
{
    if (m_terminal && echoed && m_drawn && m_promptPort != 0)
        ++m_cursorLine;
    prompt(0);
}

void MultiScannerPrinter::clearLines()
{
    if (!m_terminal || !m_drawn)
        return;
    // Back to the first redrawn line, and everything from there on is cleared.
    if (m_cursorLine > 0)
        std::fprintf(m_out, "\r\x1b[%dA", m_cursorLine);
    std::fputs("\r\x1b[J", m_out);
    m_cursorLine = 0;
    m_drawn = false;
}

void MultiScannerPrinter::drawLines()
{
    for (const ScannerRow &row : m_rows)
        std::fprintf(m_out, "%s\n", qPrintable(line(row)));
    m_cursorLine = int(m_rows.size());
    if (m_promptPort != 0)
        std::fprintf(m_out, "Power-cycle the scanner on port %d, then press Enter ", m_promptPort);
    std::fflush(m_out);
    m_drawn = true;
}

QString MultiScannerPrinter::table() const
{
    int modelWidth = 5;
    int fileWidth = 13;
    for (const ScannerRow &row : m_rows) {
        modelWidth = std::max(modelWidth, int(row.model.size()));
        fileWidth = std::max(fileWidth, int(row.file.size()));
    }
    modelWidth = std::min(modelWidth, 24);
    fileWidth = std::min(fileWidth, 40);
    QString text =
        QStringLiteral("port  %1  %2  result       seconds\n")
            .arg(cell(QStringLiteral("model"), modelWidth), cell(QStringLiteral("firmware file"), fileWidth));
    for (const ScannerRow &row : m_rows)
        // Joined, not arg()'d: a file name may hold "%1".
        text += QStringLiteral("%1").arg(row.port, 4) + QStringLiteral("  ") +
                cell(row.model.isEmpty() ? QStringLiteral("-") : row.model, modelWidth) +
                QStringLiteral("  ") + cell(row.file.isEmpty() ? QStringLiteral("-") : row.file, fileWidth) +
                QStringLiteral("  ") + cell(QLatin1String(resultName(row.state)), 11) + QStringLiteral("  ") +
                QStringLiteral("%1\n").arg(row.seconds, 7, 'f', 1);
    return text;
}

void MultiScannerPrinter::finish()
{
    m_redraw.stop();
    m_promptPort = 0;
    clearLines();
    std::fputs(qPrintable(table()), m_out);
    for (const ScannerRow &row : m_rows) {
        // An interrupted run is said once, for all of them.
        if (row.state != ScannerRow::State::Failed)
            continue;
        for (const QString &text : row.notes)
            std::fprintf(m_out, "port %d: %s\n", row.port, qPrintable(text));
    }
    std::fflush(m_out);
}

} // namespace romwright
