#pragma once
// Builds S-record text for tests: well-formed records with their checksum,
// which the cases then damage on purpose.

#include "image/SrecordWriter.h"

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace romwright::test {

// One record line without line end: "S" type, count, address, data, checksum.
inline QByteArray srecord(int type, std::uint32_t address, const std::vector<std::uint8_t> &data)
{
    return QByteArray::fromStdString(srecordLine(type, address, data));
}

inline std::vector<std::uint8_t> ramp(std::size_t length, std::uint8_t first = 0)
{
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<std::uint8_t>(first + i);
    return bytes;
}

} // namespace romwright::test
