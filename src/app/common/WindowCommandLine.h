#pragma once
// The window's own command line: up to three comma-separated fields, the
// firmware file, the port number and the scanner model ("file,3,Halvern 1450").

#include <QString>
#include <QStringList>

#include <optional>

namespace romwright {

struct WindowCommandLine {
    QString file;  // field 1, as typed (discovery trims it)
    QString port;  // field 2, a port number as text
    QString model; // field 3, a model name as shown in the window
};

// nullopt for an empty command line (start-up then searches the ports); else
// the fields split at every ",", missing ones empty. The shell split the line
// at blanks; they are joined back with one blank, so "Halvern 1450" survives.
std::optional<WindowCommandLine> parseWindowCommandLine(const QStringList &arguments);

} // namespace romwright
