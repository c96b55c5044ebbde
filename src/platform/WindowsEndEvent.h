#pragma once
// How a parent tells its child on Windows to end as on Ctrl-C. A console's
// Ctrl-Break reaches only processes that share the parent's console, which a
// program started without one (a scheduled task, a service, a remote shell)
// does not have; so each child also gets an inheritable auto-reset event, its
// handle's value in this environment variable, and takes it being set as
// Ctrl-C.

namespace romwright {

inline constexpr char kEndEventVariable[] = "ROMWRIGHT_END_EVENT";

} // namespace romwright
