#pragma once
// Writes one well-formed S-record line (no line end): type mark, count,
// address of the type's width, data and checksum, upper-case hex.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace romwright {

inline std::string srecordLine(int type, std::uint32_t address, const std::vector<std::uint8_t> &data)
{
    // Address bytes per record type S0..S9.
    static constexpr int kAddressBytes[10] = {2, 2, 3, 4, 2, 2, 3, 4, 3, 2};
    const int addressBytes = kAddressBytes[type];
    std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(addressBytes + data.size() + 1)};
    for (int i = addressBytes - 1; i >= 0; --i)
        bytes.push_back(static_cast<std::uint8_t>(address >> (8 * i)));
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    bytes.push_back(static_cast<std::uint8_t>(~sum));

    std::string line{'S', static_cast<char>('0' + type)};
    char digits[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        line += digits;
    }
    return line;
}

} // namespace romwright
