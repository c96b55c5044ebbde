#pragma once
// The status lamps' three colours.

#include <cstdint>

namespace romwright {

// Status lamp fill. The window draws them as filled rounded squares.
enum class Lamp { Grey, Green, Red };

// Colour of a lamp as 0x00BBGGRR (red in the low byte), the form in which the
// window's colours are given throughout.
constexpr std::uint32_t lampBgr(Lamp lamp)
{
    switch (lamp) {
    case Lamp::Green:
        return 0x0000FF00u;
    case Lamp::Red:
        return 0x000000FFu;
    case Lamp::Grey:
        break;
    }
    return 0x00808080u;
}

} // namespace romwright
