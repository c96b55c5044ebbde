#pragma once
// Entry points of the three ways the program runs; main() picks one.

#include <QStringList>

namespace romwright {

class ConsoleReport;

// SIGINT, SIGTERM or SIGHUP ended a run of several scanners (exit status 128
// + the signal); each scanner's own lines say what it was left with.
inline constexpr const char *kSeveralInterrupted =
    "The run was interrupted. Each scanner's own message says what it was left with; run "
    "\"romwright --console\" again, once for each unfinished update, to finish them.";

// romwright --info FILE [--target 64|128] [--image OUT]
int runInfo(const QStringList &arguments);
QString infoUsage();

// romwright --console [--port N] [--file PATH] [--processor main|barcode] [--model NAME] [--yes]
// Says everything through report, which the caller ends with the result.
int runConsole(const QStringList &arguments, ConsoleReport &report);

// romwright --history [--json]: the update log.
int runHistory(const QStringList &arguments);
QString historyUsage();

// The window; arguments are the window's own command line (file,port,model).
// trace names the file every byte on the line is written to (empty: none).
int runWindow(int &argc, char **argv, const QString &trace = {});

} // namespace romwright
