#pragma once
// The scanner's 64 KB flash and the block maps its loaders accept. Flash
// behaves like the real part: erasing sets bytes to 0xFF, programming can
// only clear bits, so a block written twice or before its erase shows in the
// dump.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace romwright::sim {

struct MapBlock {
    std::uint16_t address;
    std::uint16_t length;
};

enum class FlashMap { Bootloader, Rows64, Rows128 };

// The blocks a loader takes, in programming order.
const std::vector<MapBlock> &blocksOf(FlashMap map);
// The block of the map that starts at address, if any.
std::optional<MapBlock> findBlock(FlashMap map, std::uint16_t address);

class FlashMemory {
public:
    static constexpr std::size_t kSize = 0x10000;

    FlashMemory() { m_bytes.fill(0xFF); }

    // Erases every block of the map.
    void erase(FlashMap map);
    void program(std::uint16_t address, const std::uint8_t *bytes, std::size_t count);
    const std::array<std::uint8_t, kSize> &bytes() const { return m_bytes; }
    // Writes all 65,536 bytes; false when the file cannot be written.
    bool dump(const std::string &path) const;
    // Reads a dump back; false when the file cannot be read or is not 65,536 bytes long.
    bool load(const std::string &path);

private:
    std::array<std::uint8_t, kSize> m_bytes;
};

} // namespace romwright::sim
