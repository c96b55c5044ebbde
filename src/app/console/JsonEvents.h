#pragma once
// The names of the console's --json events ("event"'s values). A child of a
// several-scanner run writes them and its parent reads them: both take them
// from here.

#include <QLatin1String>

namespace romwright::json::events {

inline constexpr QLatin1String kProgress{"progress"};
inline constexpr QLatin1String kScanner{"scanner"};
inline constexpr QLatin1String kFirmware{"firmware"};
inline constexpr QLatin1String kMessage{"message"};
inline constexpr QLatin1String kError{"error"};
inline constexpr QLatin1String kWarning{"warning"};
inline constexpr QLatin1String kPrompt{"prompt"};
inline constexpr QLatin1String kResult{"result"};

} // namespace romwright::json::events
