#pragma once
// Builds S-record text for tests: well-formed records with their checksum,
// which the cases then damage on purpose.

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace romwright::test {

// One record line without line end: "S" type, count, address, data, checksum.
inline QByteArray srecord(int type, std::uint32_t address, const std::vector<std::uint8_t> &data)
{
    static constexpr int kAddressBytes[10] = {2, 2, 3, 4, 2, 2, 3, 4, 3, 2};
    const int addressBytes = kAddressBytes[type];
    std::vector<std::uint8_t> bytes;
    bytes.push_back(static_cast<std::uint8_t>(addressBytes + data.size() + 1));
    for (int i = addressBytes - 1; i >= 0; --i)
        bytes.push_back(static_cast<std::uint8_t>(address >> (8 * i)));
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    bytes.push_back(static_cast<std::uint8_t>(~sum));
    QByteArray line = "S" + QByteArray::number(type);
    for (std::uint8_t b : bytes)
        line += QByteArray::number(b, 16).rightJustified(2, '0').toUpper();
    return line;
}

inline std::vector<std::uint8_t> ramp(std::size_t length, std::uint8_t first = 0)
{
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<std::uint8_t>(first + i);
    return bytes;
}

} // namespace romwright::test
