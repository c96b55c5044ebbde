#pragma once
// Entry points of the three ways the program runs; main() picks one.

#include <QStringList>

namespace romwright {

// SIGINT, SIGTERM or SIGHUP ended an update (exit status 128 + the signal).
inline constexpr const char *kUpdateInterrupted =
    "The update was interrupted. The scanner keeps its boot software: run the update again to finish it.";

// romwright --info FILE [--target 64|128] [--image OUT]
int runInfo(const QStringList &arguments);
QString infoUsage();

// romwright --console [--port N] [--file PATH] [--processor main|barcode] [--model NAME] [--yes]
int runConsole(const QStringList &arguments);

// The window; arguments are the window's own command line (file,port,model).
int runWindow(int &argc, char **argv);

} // namespace romwright
