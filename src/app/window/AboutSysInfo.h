#pragma once
// The About box's System Info button: find the system's information tool and
// start it, or show the program's own summary.

#include "platform/Registry.h"

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace romwright {

class FileSystem;
class PortMap;

// Reads one registry value as text: a text value as it is, a 32-bit number
// as "&h" and eight hex digits. False, with keyVal emptied, when the key or
// the value is missing; a value of another type leaves keyVal as it was.
bool GetKeyValue(const Registry &registry, RegistryRoot keyRoot, const QString &keyName,
                 const QString &subKeyRef, QString &keyVal);

struct SysInfoTools {
    // Tools tried, in order, on the search path when the registry names none.
    QStringList candidates{QStringLiteral("hardinfo"), QStringLiteral("hardinfo2"),
                           QStringLiteral("kinfocenter")};
    // Starts a program without waiting for it; false when it could not start.
    std::function<bool(const QString &program)> start;
    // Where no tool starts: our own summary instead (showSystemInfo for
    // this machine when unset).
    std::function<void()> ownSummary;
};

// What the summary says of the running program; the window fills it in
// when the About box opens.
struct ProgramFacts {
    QString version{}; // "Version 4.0.1"
    QString programFolder{};
    QString userDataFolder{};
    QStringList systemDataFolders{};
    QString stateFolder{}; // the update log, the records of unfinished updates, transcripts
    int heldPort = 0;      // the port the program itself has open; 0: none
};

// What a technician is asked about first: the program's version, the
// system, the Qt library, the folders the program reads and writes, where
// each loader file was found, and each port number with the device behind
// it and whether this user may open it (or the program holds it).
QString systemSummary(const PortMap &ports, const ProgramFacts &facts, const FileSystem &files);

// A small dialog with the summary for this machine, owned by parent; the
// text can be selected and copied.
void showSystemInfo(QWidget *parent, const ProgramFacts &facts);

// Starts the tool the registry names (the Windows keys of the information
// tool), else the first of tools.candidates found on the search path, else
// shows our own summary, on Windows (a Windows without the tool, Wine) as
// elsewhere: its folders, loaders and ports are what a technician is asked.
void StartSysInfo(const Registry &registry, const SysInfoTools &tools = SysInfoTools());

} // namespace romwright
