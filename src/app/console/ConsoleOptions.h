#pragma once
// The console front end's command line.

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace romwright {

struct ConsoleOptions {
    int port = 0; // 1..16; 0 when not given: the ports are searched
    // --port 1,3,4 (two or more, each once) or --port all (every port where a
    // scanner answers): each scanner is updated by a process of its own.
    std::vector<int> ports;
    bool allPorts = false;
    QString file; // the firmware file
    bool barCodeProcessor = false;
    bool yes = false;   // go on at the power-cycle prompt without asking
    bool force = false; // program a file meant for another scanner all the same
    QString model;      // shown as the model label
    bool json = false;  // one JSON object per line on standard output, for scripts
    QString trace;      // every byte on the line is written here (empty: no trace)
    bool check = false; // say what an update would do; nothing that changes the scanner is sent
    // --forget [PORT|all]: drop the record of the unfinished update on PORT,
    // 0 every record; nothing else is done.
    std::optional<int> forget;

    bool severalScanners() const { return allPorts || !ports.empty(); }
    bool operator==(const ConsoleOptions &) const = default;
};

struct ParsedConsoleOptions {
    std::optional<ConsoleOptions> options;
    QString error; // when options is empty
};

// The arguments after the program name; "--console" itself is allowed.
ParsedConsoleOptions parseConsoleOptions(const QStringList &arguments);

QString consoleUsage();

// The options as a command line that parseConsoleOptions reads back as
// they are, starting with "--console": how a child of a several-scanner run
// is given its options.
QStringList consoleArguments(const ConsoleOptions &options);

// The trace of one scanner of a several-scanner run: "run.txt" is
// "run-port3.txt" for port 3, "run" "run-port3".
QString tracePathForPort(const QString &trace, int port);

// Set by the test suite alone: it shortens every wait and pause of the
// update, which a real scanner would not survive (a 60 s erase bound of
// 600 ms abandons a slow erase), so it is never an option and always said.
inline constexpr const char *kTestTimeScale = "ROMWRIGHT_TEST_TIME_SCALE";

// 1 when the variable is not set; nothing when it holds no factor in (0, 1].
std::optional<double> testTimeScale();
// What is said when testTimeScale() refuses the variable's value.
QString testTimeScaleRefusal();

} // namespace romwright
