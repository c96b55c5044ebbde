#pragma once
// The two ways a flash block travels to the scanner, as bytes on the wire.
// "D" records carry raw bytes to the RAM loader, "P" records carry
// hexadecimal text to the 64- and 128-byte bootloaders. A block that holds
// only erased bytes (0xFF) has nothing to program and makes no record.

#include "image/FlashLayout.h"
#include "image/MemoryImage.h"

#include <QByteArray>
#include <optional>

namespace romwright {

inline constexpr int kBinaryRecordData = 64;     // data part of every "D" record
inline constexpr int kBinaryRecordSize = 4 + 64; // "D", count, address high, low, data

// True when every byte of the block is 0xFF (also for a zero-length block).
bool blockIsErased(const FlashBlock &block, const MemoryImage &image);

// "D", Length + 3, address high, address low, the block's bytes padded with
// zeros to 64; nullopt for an erased block. Blocks longer than 64 bytes or
// reaching past 0xFFFF do not occur in the tables and are refused as well.
std::optional<QByteArray> binaryRecord(const FlashBlock &block, const MemoryImage &image);

// "P", two hex digits of Length, four of Address, two per data byte, all
// upper case, no separator or checksum; nullopt for an erased block.
std::optional<QByteArray> hexRecord(const FlashBlock &block, const MemoryImage &image);

// The RAM loader as it goes out: image bytes 0x0050..0x044F, zeros included.
QByteArray ramLoaderBytes(const MemoryImage &image);

// Bytes a record of this block puts on the wire (0 when it is not sent).
int binaryRecordSize(const FlashBlock &block, const MemoryImage &image);
int hexRecordSize(const FlashBlock &block, const MemoryImage &image);

} // namespace romwright
