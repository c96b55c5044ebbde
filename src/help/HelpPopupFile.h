#pragma once
// Text pop-ups kept in a text file inside the help file: each pop-up starts
// with a line ".topic N" (N its number) and runs to the next such line.

#include <QString>
#include <cstdint>
#include <optional>

namespace romwright {

std::optional<QString> popupText(const QString &fileText, std::uint32_t topic);

} // namespace romwright
