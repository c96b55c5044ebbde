#pragma once
// Who may use a serial device: this user, and the group that owns it. A user
// who may not open a port is told what would let them, and that advice
// depends on whether joining the device's group would be enough.

#include <QString>

namespace romwright {

struct DeviceAccess {
    QString device;
    bool exists = false;
    bool userMayReadWrite = false; // this process, with its groups and any ACL
    QString group;                 // the owning group, "" where files have none
    bool groupMayReadWrite = false;

    bool refusesUser() const { return exists && !userMayReadWrite; }
};

DeviceAccess deviceAccess(const QString &device);

// What stands at a port's device path when it is no serial device: "a
// folder", "a plain file", "not a terminal" (/dev/null); empty when it is
// one, when nothing stands there, or when nothing more can be said.
QString notASerialDevice(const QString &device);

// A port whose device this user may not open.
struct RefusedPort {
    int port = 0;
    DeviceAccess access;
};

// A port whose device another program holds.
struct HeldPort {
    int port = 0;
    QString device;
};

} // namespace romwright
