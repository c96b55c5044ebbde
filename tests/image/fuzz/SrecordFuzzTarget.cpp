// Fuzz target of the S-record reader: whatever the text, the reader writes
// only inside the 64 KB image, only the bytes it reports, and its result
// holds together.

#include "image/ParseMotorolaSrecords.h"
#include "support/FuzzDriver.h"

#include <QByteArray>

#include <algorithm>

#include <cstdint>

namespace {

const auto check = &romwright::test::fuzzCheck;

constexpr std::uint8_t kFill = 0xA5;
constexpr std::uint8_t kGuard = 0x5C;

// The image between two guard zones: a write past either end shows there
// even where no sanitizer watches.
struct Guarded {
    std::array<std::uint8_t, 256> before;
    romwright::MemoryImage image;
    std::array<std::uint8_t, 256> after;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static Guarded guarded; // 64 KB: too big for every call's stack
    guarded.before.fill(kGuard);
    guarded.after.fill(kGuard);
    guarded.image.fill(kFill);

    const QByteArray text =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const romwright::SrecordResult result = romwright::ParseMotorolaSrecords(text, guarded.image);

    for (std::uint8_t b : guarded.before)
        check(b == kGuard, "write below the image");
    for (std::uint8_t b : guarded.after)
        check(b == kGuard, "write above the image");

    // Undo every reported write; then nothing may differ from the fill.
    std::int64_t reportedBytes = 0;
    for (const romwright::AddressRange &range : result.stored) {
        check(range.first <= range.last && range.last < romwright::kImageSize,
              "stored range outside the image");
        reportedBytes += range.last - range.first + 1;
        std::fill(guarded.image.begin() + range.first, guarded.image.begin() + range.last + 1, kFill);
    }
    check(reportedBytes == result.bytesStored, "byte count differs from the stored ranges");
    check(std::all_of(guarded.image.begin(), guarded.image.end(), [](std::uint8_t b) { return b == kFill; }),
          "a byte changed that no record addressed");
    check(result.ok() == (result.line == 0), "a failure without its line, or a line without a failure");
    check(result.dataRecords >= static_cast<int>(result.stored.size()),
          "more stored ranges than data records");
    check(!result.ok() || size > 0, "an empty text read as good");
    const bool anyRecord = std::any_of(result.recordsOfType.begin(), result.recordsOfType.end(),
                                       [](int records) { return records > 0; });
    check(!result.ok() || !anyRecord || result.endRecordType != 0,
          "records without an end record read as good");
    return 0;
}
