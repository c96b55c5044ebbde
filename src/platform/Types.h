#pragma once
// Small value types shared by every layer: message icons and the title.

namespace romwright {

enum class MessageIcon { None, Information, Exclamation, Critical, Question };

// The button a question's Enter presses (and the console's answer when
// nobody can be asked).
enum class DefaultAnswer { No, Yes };

// Title of message boxes that have none of their own.
inline constexpr const char *kApplicationTitle = "Romwright";

} // namespace romwright
