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
    // Field 1 made absolute when it is a path rather than a bare name (what
    // "Open with" and a file dropped on the program's icon pass): that file
    // is opened as it is, not looked for in the program's folders.
    QString path{};
};

// nullopt for an empty command line (start-up then searches the ports); else
// the fields split at every ",", missing ones empty. The shell split the line
// at blanks; they are joined back with one blank, so "Halvern 1450" survives.
// A whole line that names an existing file is that file alone, commas and all.
std::optional<WindowCommandLine> parseWindowCommandLine(const QStringList &arguments);

// True when name holds a folder part ("fw/x.s19", "C:\fw\x.s19"), not just a name.
bool namesPath(const QString &name);

} // namespace romwright
