#include "FlashMemory.h"

#include <algorithm>
#include <cstdio>

namespace romwright::sim {

namespace {

// The target's flash as the loaders see it: HC08 flash at 0x0450-0x04FF,
// 0x0580-0x05FF, 0x0E00-0xFDFF plus vectors for the old loader and the
// 64-byte bootloader; 128-byte rows 0x1200-0xFBFF around a hole at
// 0x1800-0x182B for the other processor kind.
std::vector<MapBlock> buildBootloaderMap()
{
    std::vector<MapBlock> m{{0x0450, 48}, {0x0480, 64}, {0x04C0, 64}, {0x0580, 64}, {0x05C0, 64}};
    for (unsigned a = 0x0E00; a < 0xFE00; a += 64)
        m.push_back({std::uint16_t(a), 64});
    m.push_back({0xFFCC, 52});
    m.push_back({0xFF80, 2});
    return m;
}

std::vector<MapBlock> buildRows64()
{
    std::vector<MapBlock> m{{0x0450, 64}, {0x0490, 64}, {0x04D0, 48}, {0x0580, 64}, {0x05C0, 64}};
    for (unsigned a = 0x0E00; a < 0xF900; a += 64)
        m.push_back({std::uint16_t(a), 64});
    return m;
}

std::vector<MapBlock> buildRows128()
{
    std::vector<MapBlock> m;
    for (unsigned a = 0x1200; a < 0x1800; a += 128)
        m.push_back({std::uint16_t(a), 128});
    m.push_back({0x182C, 84});
    for (unsigned a = 0x1880; a < 0xFC00; a += 128)
        m.push_back({std::uint16_t(a), 128});
    return m;
}

} // namespace

const std::vector<MapBlock> &blocksOf(FlashMap map)
{
    static const std::vector<MapBlock> bootloader = buildBootloaderMap();
    static const std::vector<MapBlock> rows64 = buildRows64();
    static const std::vector<MapBlock> rows128 = buildRows128();
    switch (map) {
    case FlashMap::Bootloader:
        return bootloader;
    case FlashMap::Rows64:
        return rows64;
    case FlashMap::Rows128:
        return rows128;
    }
    return rows64;
}

std::optional<MapBlock> findBlock(FlashMap map, std::uint16_t address)
{
    const auto &blocks = blocksOf(map);
    const auto it = std::find_if(blocks.begin(), blocks.end(),
                                 [address](const MapBlock &b) { return b.address == address; });
    if (it == blocks.end())
        return std::nullopt;
    return *it;
}

void FlashMemory::erase(FlashMap map)
{
    for (const MapBlock &b : blocksOf(map))
        std::fill_n(m_bytes.begin() + b.address, b.length, std::uint8_t(0xFF));
}

void FlashMemory::program(std::uint16_t address, const std::uint8_t *bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count && address + i < kSize; ++i)
        m_bytes[address + i] &= bytes[i];
}

bool FlashMemory::load(const std::string &path)
{
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    std::array<std::uint8_t, kSize> bytes;
    const bool whole = std::fread(bytes.data(), 1, kSize, f) == kSize && std::fgetc(f) == EOF;
    std::fclose(f);
    if (whole)
        m_bytes = bytes;
    return whole;
}

bool FlashMemory::dump(const std::string &path) const
{
    const std::string temporary = path + ".part";
    std::FILE *f = std::fopen(temporary.c_str(), "wb");
    if (!f)
        return false;
    const bool written = std::fwrite(m_bytes.data(), 1, kSize, f) == kSize;
    const bool closed = std::fclose(f) == 0;
    // Renamed into place so a reader never sees half a dump.
    return written && closed && std::rename(temporary.c_str(), path.c_str()) == 0;
}

} // namespace romwright::sim
