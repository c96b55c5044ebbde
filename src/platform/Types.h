#pragma once
// Small value types shared by every layer: message icons and the title.

namespace romwright {

enum class MessageIcon { None, Information, Exclamation, Critical };

// Title of message boxes that have none of their own.
inline constexpr const char *kApplicationTitle = "Romwright";

} // namespace romwright
