#pragma once
// The About box's System Info button: find the system's information tool and
// start it, or say that there is none.

#include "platform/Registry.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace romwright {

class Dialogs;

inline constexpr const char *kSysInfoUnavailable = "System Information Is Unavailable At This Time";

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
};

// Starts the tool the registry names (the Windows keys of the information
// tool), else the first of tools.candidates found on the search path, else
// shows "System Information Is Unavailable At This Time".
void StartSysInfo(const Registry &registry, Dialogs &dialogs, const SysInfoTools &tools = SysInfoTools());

} // namespace romwright
