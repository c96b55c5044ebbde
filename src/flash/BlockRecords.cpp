#include "flash/BlockRecords.h"

#include "family/BootLetters.h"

namespace romwright {

namespace {

bool inImage(const FlashBlock &block)
{
    return block.Address >= 0 && block.Address + block.Length <= static_cast<std::int32_t>(kImageSize);
}

void appendHex(QByteArray &out, unsigned value, int digits)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out.append(kDigits[(value >> shift) & 0xF]);
}

} // namespace

bool blockIsErased(const FlashBlock &block, const MemoryImage &image)
{
    if (!inImage(block))
        return true;
    for (int i = 0; i < block.Length; ++i)
        if (image[static_cast<std::size_t>(block.Address + i)] != 0xFF)
            return false;
    return true;
}

std::optional<QByteArray> binaryRecord(const FlashBlock &block, const MemoryImage &image)
{
    if (block.Length > kBinaryRecordData || blockIsErased(block, image))
        return std::nullopt;
    QByteArray record(kBinaryRecordSize, '\0');
    record[0] = letter::kBinaryRecord;
    record[1] = static_cast<char>(block.Length + 3);
    record[2] = static_cast<char>((block.Address >> 8) & 0xFF);
    record[3] = static_cast<char>(block.Address & 0xFF);
    for (int i = 0; i < block.Length; ++i)
        record[4 + i] = static_cast<char>(image[static_cast<std::size_t>(block.Address + i)]);
    return record;
}

std::optional<QByteArray> hexRecord(const FlashBlock &block, const MemoryImage &image)
{
    if (blockIsErased(block, image))
        return std::nullopt;
    QByteArray record;
    record.reserve(7 + 2 * block.Length);
    record.append(letter::kHexRecord);
    appendHex(record, block.Length, 2);
    appendHex(record, static_cast<unsigned>(block.Address), 4);
    for (int i = 0; i < block.Length; ++i)
        appendHex(record, image[static_cast<std::size_t>(block.Address + i)], 2);
    return record;
}

QByteArray ramLoaderBytes(const MemoryImage &image)
{
    return QByteArray(reinterpret_cast<const char *>(image.data()) + kRamLoaderAddress,
                      static_cast<qsizetype>(kRamLoaderSize));
}

int binaryRecordSize(const FlashBlock &block, const MemoryImage &image)
{
    return block.Length > kBinaryRecordData || blockIsErased(block, image) ? 0 : kBinaryRecordSize;
}

int hexRecordSize(const FlashBlock &block, const MemoryImage &image)
{
    return blockIsErased(block, image) ? 0 : 7 + 2 * block.Length;
}

} // namespace romwright
