#pragma once
// The console front end's command line.

#include <QString>
#include <QStringList>
#include <optional>

namespace romwright {

struct ConsoleOptions {
    int port = 0; // 1..16; 0 when not given: the ports are searched
    QString file; // the firmware file
    bool barCodeProcessor = false;
    bool yes = false;   // go on at the power-cycle prompt without asking
    bool force = false; // program a file meant for another scanner all the same
    QString model;      // shown as the model label
    bool json = false;  // one JSON object per line on standard output, for scripts
};

struct ParsedConsoleOptions {
    std::optional<ConsoleOptions> options;
    QString error; // when options is empty
};

// The arguments after the program name; "--console" itself is allowed.
ParsedConsoleOptions parseConsoleOptions(const QStringList &arguments);

QString consoleUsage();

} // namespace romwright
