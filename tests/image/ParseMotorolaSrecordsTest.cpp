#include "image/ParseMotorolaSrecords.h"

#include "image/SrecordText.h"
#include <gtest/gtest.h>

#include <numeric>

using namespace romwright;
using romwright::test::ramp;
using romwright::test::srecord;

namespace {

constexpr std::uint8_t kFill = 0x5A;

const QByteArray kHeader = "S00600004844521B";
const QByteArray kEnd = "S9030000FC";
// 16 bytes 00..0F at 0x0000, written out by hand with its checksum.
const QByteArray kSixteen = "S1130000000102030405060708090A0B0C0D0E0F74";

} // namespace

// Well-formed files of every record type, order and overlap are held against
// srec_cat elsewhere; these are the lines it has no opinion on or refuses.
TEST(ParseMotorolaSrecords, ReadsOrRejectsEachKindOfLine)
{
    using E = SrecordError;
    const QByteArray good = srecord(1, 0x1000, ramp(4));
    // 65,537 data records without data: one more than 16 bits count.
    const QByteArray many = QByteArray("S1030000FC\n").repeated(0x10001);
    struct Case {
        const char *name;
        QByteArray text;
        E error;
        int line; // of the failure; 0 when none
        std::int32_t bytesStored;
        std::uint32_t firstAddress;              // where the stored bytes start, when any
        int dataRecords = -1, skippedLines = -1; // before the failure; -1: not checked
    };
    const QByteArray next = srecord(1, 0x1004, ramp(4)), bad = "S1050100000000"; // checksum wrong
    // clang-format off
    const std::vector<Case> cases{
        {"header and end only", kHeader + "\r\n" + kEnd + "\r\n", E::None, 0, 0, 0},
        {"count 03 holds no data", "S1030000FC\n" + kEnd, E::None, 0, 0, 0},
        {"count 02 is too small", "S1020000FD", E::CountTooSmall, 1, 0, 0},
        {"S2 at 010000", kHeader + "\n" + srecord(2, 0x10000, ramp(3)), E::BeyondImage, 2, 0, 0},
        {"S3 far above", srecord(3, 0x80000000, ramp(2)), E::BeyondImage, 1, 0, 0},
        {"running past FFFF keeps the bytes below", srecord(1, 0xFFF8, ramp(16)), E::BeyondImage, 1, 8, 0xFFF8},
        {"lower-case mark", good + "\n \ts1130000000102030405060708090A0B0C0D0E0F74", E::LowerCaseMark, 2, 4, 0x1000},
        {"comment starting with s", "see below\n" + good + "\n" + kEnd, E::None, 0, 4, 0x1000},
        {"byte-order mark before the first record", "\xEF\xBB\xBF" + kSixteen + "\n" + kEnd, E::None, 0, 16, 0x0000},
        {"byte-order mark only", "\xEF\xBB\xBF", E::Empty, 1, 0, 0},
        {"reserved S4 is no record", "S4030000FC", E::None, 0, 0, 0},
        {"text before the mark is no record", "; S1130000000102030405060708090A0B0C0D0E0F74", E::None, 0, 0, 0},
        {"blanks before the mark", " \t" + kSixteen + "\n" + kEnd, E::None, 0, 16, 0x0000},
        {"blanks after the checksum", kSixteen + " \t\n" + kEnd + " ", E::None, 0, 16, 0x0000},
        {"text after the checksum", kSixteen + "00", E::TrailingText, 1, 0, 0},
        {"wrong checksum", "S1130000000102030405060708090A0B0C0D0E0F75", E::BadChecksum, 1, 0, 0},
        {"checksum wrong only in its top bit", "S1130000000102030405060708090A0B0C0D0E0FF4", E::BadChecksum, 1, 0, 0},
        {"non-hex data", good + "\n" + "S1130000000102030405060708093Z0B0C0D0E0F74", E::NotHex, 2, 4, 0x1000},
        {"non-hex checksum", "S1130000000102030405060708090A0B0C0D0E0F7-", E::NotHex, 1, 0, 0},
        {"data shorter than the count", "S1130000000102030405060708090A0B0C0D", E::Truncated, 1, 0, 0},
        {"half a digit pair", "S11", E::Truncated, 1, 0, 0},
        {"empty file", "", E::Empty, 1, 0, 0},
        {"blank lines only", "\r\n\r\n", E::None, 0, 0, 0},
        {"damaged header", "S00600004844521C", E::BadChecksum, 1, 0, 0},
        {"damaged end record", good + "\nS9030000FD", E::BadChecksum, 2, 4, 0x1000},
        {"nothing read after a failure", "S1020000FD\n" + good, E::CountTooSmall, 1, 0, 0},
        {"S5 after a cut", good + "\n" + srecord(5, 2, {}), E::CountMismatch, 2, 4, 0x1000},
        {"S6 counts in 24 bits", good + "\n" + srecord(6, 0x010001, {}), E::CountMismatch, 2, 4, 0x1000},
        {"S5 counts records without data too", "S1030000FC\n" + srecord(5, 1, {}) + "\n" + kEnd, E::None, 0, 0, 0},
        {"S5 holds the count's low 16 bits", many + srecord(5, 0x0001, {}) + "\n" + kEnd, E::None, 0, 0, 0},
        {"S6 holds 24 bits", many + srecord(6, 0x10001, {}) + "\n" + kEnd, E::None, 0, 0, 0},
        {"no end record: cut short", kHeader + "\r\n" + good + "\r\n", E::NoEndRecord, 2, 4, 0x1000},
        {"header only", kHeader, E::NoEndRecord, 1, 0, 0},
        {"count record last", good + "\n" + srecord(5, 1, {}) + "\n\n", E::NoEndRecord, 3, 4, 0x1000},
        {"records after the end record", kEnd + "\n" + kHeader + "\n" + good + "\n" + kEnd, E::None, 0, 4, 0x1000},
        {"two files joined, cut in the second", good + "\n" + kEnd + "\n" + kHeader + "\n", E::NoEndRecord, 3, 4, 0x1000},
        {"end record of each kind", good + "\nS70500000000FA\n" + "S804000000FB", E::None, 0, 4, 0x1000},
        {"0x1A right after the checksum", good + "\n" + kEnd + "\x1A", E::None, 0, 4, 0x1000},
        {"0x1A ends the file, padding after it", good + "\r\n" + kEnd + "\r\n\x1A\x1A\x1Agarbage", E::None, 0, 4, 0x1000},
        {"0x1A before the end record", good + "\n\x1A" + kEnd, E::NoEndRecord, 1, 4, 0x1000},
        {"0x1A inside a record", good + "\nS9030\x1A" "000FC", E::Truncated, 2, 4, 0x1000},
        {"only a 0x1A", "\x1A", E::Empty, 1, 0, 0},
        {"other text right after the checksum", good + "\n" + kEnd + "\x1B", E::TrailingText, 2, 4, 0x1000},
        // Line ends and line numbers.
        {"LF", good + "\n" + next + "\n" + bad + "\n", E::BadChecksum, 3, 8, 0x1000, 2, 0},
        {"CR", good + "\r" + next + "\r" + bad + "\r", E::BadChecksum, 3, 8, 0x1000, 2, 0},
        {"CR LF", good + "\r\n" + next + "\r\n" + bad + "\r\n", E::BadChecksum, 3, 8, 0x1000, 2, 0},
        {"mixed, blank lines between", good + "\r\n\n\r" + bad, E::BadChecksum, 4, 4, 0x1000, 1, 2},
        {"LF CR is two ends", good + "\n\r" + bad, E::BadChecksum, 3, 4, 0x1000, 1, 1},
        {"last line without an end", good + "\n" + bad, E::BadChecksum, 2, 4, 0x1000, 1, 0},
        {"byte-order mark and a comment", "\xEF\xBB\xBF; by hand\n" + good + "\n" + bad, E::BadChecksum, 3, 4, 0x1000, 1, 1},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MemoryImage image;
        image.fill(kFill);
        const SrecordResult result = ParseMotorolaSrecords(c.text, image);
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(result.line, c.line);
        EXPECT_EQ(result.bytesStored, c.bytesStored);
        // The stored bytes form one run from firstAddress; nothing else changed.
        // (Ramp data starts at 0, which differs from the fill, so every stored byte shows.)
        std::vector<std::uint32_t> written, expected(std::size_t(c.bytesStored));
        for (std::uint32_t a = 0; a < kImageSize; ++a)
            if (image[a] != kFill)
                written.push_back(a);
        std::iota(expected.begin(), expected.end(), c.firstAddress);
        EXPECT_EQ(written, expected);
        if (c.dataRecords < 0)
            continue;
        EXPECT_EQ(result.dataRecords, c.dataRecords);
        EXPECT_EQ(result.skippedLines, c.skippedLines);
    }
}

TEST(ParseMotorolaSrecords, FilledRangesMergeOverlapsAndNeighbours)
{
    SrecordResult result;
    result.stored = {
        {0x3000, 0x300F}, {0x1000, 0x100F}, {0x1010, 0x101F}, {0x1008, 0x1012}, {0xFFFF, 0xFFFF}};
    EXPECT_EQ(filledRanges(result),
              (std::vector<AddressRange>{{0x1000, 0x101F}, {0x3000, 0x300F}, {0xFFFF, 0xFFFF}}));
}
