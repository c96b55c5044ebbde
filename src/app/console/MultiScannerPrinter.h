#pragma once
// What a person sees while several scanners are updated at once. On a
// terminal one line per scanner is redrawn in place (port, model, step,
// percentage, rate, time left), at most ten times a second, with the
// power-cycle prompt below the lines; elsewhere a scanner gets a line when
// its step changes and at every tenth of a pass. At the end a table of the
// results takes the lines' place.

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <vector>

namespace romwright {

struct ScannerRow {
    enum class State { Running, Completed, Failed, Interrupted };

    int port = 0;
    QString model; // "" while it is not known
    QString file;  // the firmware file's name, "" while it is not known
    QString step = QStringLiteral("starting");
    int percent = -1; // of the block pass under way; -1 outside a pass
    qint64 rate = 0;  // bytes per second of that pass
    qint64 secondsLeft = 0;
    State state = State::Running;
    double seconds = 0;        // the whole run, once it has ended
    QStringList notes;         // the messages and errors of its update, shown when it failed
    QJsonObject failure;       // the fields of its result when it failed: "reason", "step", "block", ...
    bool parentFailed = false; // the last note is the run's own: no answer, no result, told to end
};

const char *resultName(ScannerRow::State state);

class MultiScannerPrinter {
public:
    // rows outlive the printer and keep their number and order.
    MultiScannerPrinter(std::FILE *out, std::FILE *err, bool terminal, const std::vector<ScannerRow> &rows);

    // A row's step or progress changed.
    void changed(std::size_t row);
    // LINE for good, above the redrawn lines; on standard error when error is set.
    void note(const QString &line, bool error);
    // The power-cycle prompt for the scanner on PORT; 0 takes it away. An
    // answer typed on the terminal moved the cursor a line down: echoed.
    void prompt(int port);
    void answered(bool echoed);

    // Takes the redrawn lines away and prints the table, then the notes of
    // every scanner that did not complete.
    void finish();

    // "port 3  Halvern 1450  firmware   52 %  3612 B/s  0:07 left"
    QString line(const ScannerRow &row) const;
    QString table() const;

private:
    void clearLines();
    void drawLines();

    std::FILE *m_out;
    std::FILE *m_err;
    bool m_terminal;
    const std::vector<ScannerRow> &m_rows;
    // Plain lines: what was last printed for each row (step and tenth).
    std::vector<QString> m_printed;
    // Terminal: how many lines the cursor stands below the first redrawn one.
    int m_cursorLine = 0;
    bool m_drawn = false;
    int m_promptPort = 0;
    QTimer m_redraw;
};

} // namespace romwright
