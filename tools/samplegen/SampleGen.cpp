// romwright-samplegen: makes the synthetic S-record files in samples/ and
// full-size firmware files for the benchmark. Every byte comes from a seeded
// generator of HC08-like instruction streams, tables and texts; the output
// is the same on every run and every machine.
//
//   romwright-samplegen samples DIR        the sample firmware of each family
//                                          and the two loader files, into DIR
//   romwright-samplegen full 64|128 FILE   a firmware in which every block of
//                                          the 64- or 128-byte table holds data
//                                          (S1 records, vectors included)

#include "image/FlashLayout.h"
#include "image/SrecordWriter.h"

#include <bitset>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <span>
#include <string>
#include <vector>

namespace {

using romwright::FlashBlock;
using romwright::kImageSize;

// splitmix64: small, fixed and the same everywhere (std distributions are not).
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::uint32_t below(std::uint32_t bound) { return static_cast<std::uint32_t>(next() % bound); }

private:
    std::uint64_t m_state;
};

struct Range {
    std::uint32_t first;
    std::uint32_t last; // inclusive
};

// A sparse 64 KB image: the bytes a file defines.
class Sparse {
public:
    void set(std::uint32_t address, std::uint8_t value)
    {
        m_bytes[address] = value;
        m_defined[address] = true;
    }
    bool defined(std::uint32_t address) const { return m_defined[address]; }
    std::uint8_t at(std::uint32_t address) const { return m_bytes[address]; }

private:
    std::vector<std::uint8_t> m_bytes = std::vector<std::uint8_t>(kImageSize, 0xFF);
    std::bitset<kImageSize> m_defined;
};

// Instruction shapes of the HC08 family: opcode and operand bytes.
struct Shape {
    std::uint8_t opcode;
    int operands;
    bool address; // the operand is a 16-bit address inside the code
};
constexpr Shape kShapes[] = {
    {0xA6, 1, false}, // LDA #imm
    {0xB6, 1, false}, // LDA dir
    {0xC6, 2, true},  // LDA ext
    {0xB7, 1, false}, // STA dir
    {0xC7, 2, false}, // STA ext
    {0xCD, 2, true},  // JSR ext
    {0xCC, 2, true},  // JMP ext
    {0x20, 1, false}, // BRA rel
    {0x26, 1, false}, // BNE rel
    {0x27, 1, false}, // BEQ rel
    {0x81, 0, false}, // RTS
    {0x9D, 0, false}, // NOP
    {0x4F, 0, false}, // CLRA
    {0x5F, 0, false}, // CLRX
    {0xAE, 1, false}, // LDX #imm
    {0x4C, 0, false}, // INCA
    {0xA1, 1, false}, // CMP #imm
    {0x45, 2, false}, // LDHX #imm16
    {0x87, 0, false}, // PSHA
    {0x86, 0, false}, // PULA
    {0x1E, 1, false}, // BSET 7,dir
    {0x0F, 2, false}, // BRCLR 7,dir,rel
};

// Fills range with instructions; calls land inside target.
void code(Sparse &image, Range range, Range target, Random &random)
{
    std::uint32_t a = range.first;
    while (a <= range.last) {
        const Shape &shape = kShapes[random.below(std::size(kShapes))];
        std::uint8_t bytes[3] = {shape.opcode, 0, 0};
        if (shape.address) {
            const std::uint32_t to = target.first + random.below(target.last - target.first + 1);
            bytes[1] = static_cast<std::uint8_t>(to >> 8);
            bytes[2] = static_cast<std::uint8_t>(to);
        } else {
            for (int i = 1; i <= shape.operands; ++i)
                bytes[i] = static_cast<std::uint8_t>(random.below(0xF0));
        }
        for (int i = 0; i <= shape.operands && a <= range.last; ++i)
            image.set(a++, bytes[i]);
    }
}

// Zero-terminated texts, repeated until the range is full.
void texts(Sparse &image, Range range, const std::string &title)
{
    const std::string all = title + '\0' + "READY" + '\0' + "SHEET JAM" + '\0' + "CHECK TIMING MARKS" + '\0' +
                            "LAMP FAULT" + '\0' + "READ ERROR" + '\0' + "CALIBRATE" + '\0';
    for (std::uint32_t a = range.first, i = 0; a <= range.last; ++a, ++i)
        image.set(a, static_cast<std::uint8_t>(all[i % all.size()]));
}

// A lookup table of rising 16-bit values.
void table(Sparse &image, Range range, Random &random)
{
    std::uint32_t value = random.below(0x100);
    for (std::uint32_t a = range.first; a + 1 <= range.last; a += 2) {
        value = (value + 1 + random.below(0x40)) & 0xFFFF;
        image.set(a, static_cast<std::uint8_t>(value >> 8));
        image.set(a + 1, static_cast<std::uint8_t>(value));
    }
}

// 26 vectors at 0xFFCC, each aiming at an entry point in target; the reset
// vector (0xFFFE) at target.first.
std::uint32_t vectors(Sparse &image, Range target, Random &random)
{
    for (std::uint32_t k = 0; k < 26; ++k) {
        const std::uint32_t to =
            k == 25 ? target.first : target.first + (random.below(target.last - target.first) & ~0xFu);
        image.set(0xFFCC + 2 * k, static_cast<std::uint8_t>(to >> 8));
        image.set(0xFFCD + 2 * k, static_cast<std::uint8_t>(to));
    }
    return target.first;
}

// S-record text: S0 header, data records of up to 32 bytes that do not cross
// a 32-byte boundary, S5 count, and the end record with the start address.
std::string srecords(const Sparse &image, int dataType, const std::string &header, std::uint32_t start)
{
    const int endType = 10 - dataType;
    std::string out;
    auto record = [&out](int type, std::uint32_t address, const std::vector<std::uint8_t> &data) {
        out += romwright::srecordLine(type, address, data) + "\r\n";
    };
    record(0, 0, std::vector<std::uint8_t>(header.begin(), header.end()));
    std::uint32_t count = 0;
    std::uint32_t a = 0;
    while (a < kImageSize) {
        if (!image.defined(a)) {
            ++a;
            continue;
        }
        const std::uint32_t first = a;
        std::vector<std::uint8_t> data;
        do
            data.push_back(image.at(a++));
        while (a < kImageSize && image.defined(a) && a % 32 != 0);
        record(dataType, first, data);
        ++count;
    }
    record(5, count, {});
    record(endType, start, {});
    return out;
}

bool write(const std::string &path, const std::string &text)
{
    std::ofstream file(path, std::ios::binary);
    file << text;
    if (!file)
        std::fprintf(stderr, "romwright-samplegen: cannot write %s\n", path.c_str());
    return static_cast<bool>(file);
}

// One firmware file: code, tables and texts in the given ranges, gaps erased.
struct Firmware {
    const char *name;
    int dataType; // 1: S1 records, 2: S2 records
    std::uint64_t seed;
    std::vector<Range> code;
    Range texts;
    Range table;
};

std::string firmware(const Firmware &f)
{
    Random random(f.seed);
    Sparse image;
    const Range target = f.code.front();
    for (const Range &r : f.code)
        code(image, r, target, random);
    texts(image, f.texts, std::string("ROMWRIGHT SAMPLE ") + f.name);
    table(image, f.table, random);
    const std::uint32_t start = vectors(image, target, random);
    return srecords(image, f.dataType, f.name, start);
}

bool writeSamples(const std::string &dir)
{
    // 64-byte targets keep to 0x0580..0x05FF, 0x0E00..0xF8FF; 128-byte ones to
    // 0x1880..0xFBFF; the Wexmoor files fit either map.
    const std::vector<Firmware> firmwares{
        {"Hlv1450ver5_9.s19",
         1,
         0x1450'0509,
         {{0x8000, 0x9E7F}, {0xA400, 0xB1FF}, {0x0E00, 0x0F3F}},
         {0xC000, 0xC17F},
         {0x0580, 0x05FF}},
        {"Hlv1450Uver6_0.s19",
         1,
         0x1450'0600,
         {{0x8000, 0xA3FF}, {0x1880, 0x2DFF}, {0xE000, 0xE4FF}},
         {0xF000, 0xF1BF},
         {0x1200, 0x12FF}},
        {"JL750Ver6_0.s19",
         1,
         0x0750'0600,
         {{0x8000, 0xB6FF}, {0x0E00, 0x1F7F}},
         {0xD000, 0xD0FF},
         {0xD800, 0xD87F}},
        {"WX3650UVer3_9.s19",
         1,
         0x3650'0309,
         {{0x8000, 0xCEFF}, {0x1880, 0x2FFF}},
         {0xE800, 0xE9FF},
         {0xEC00, 0xEC7F}},
        {"WX3650UVer1_9.s20",
         2,
         0x3650'0109,
         {{0x9000, 0x9FFF}, {0x2000, 0x37FF}},
         {0xA800, 0xA8BF},
         {0xB000, 0xB03F}},
    };
    bool ok = true;
    for (const Firmware &f : firmwares)
        ok = write(dir + "/" + f.name, firmware(f)) && ok;

    // The RAM loader: exactly the 1,024 bytes it is sent as, code then a table.
    {
        Random random(0x0050'0400);
        Sparse image;
        code(image, {0x0050, 0x03CF}, {0x0050, 0x03CF}, random);
        table(image, {0x03D0, 0x044F}, random);
        ok = write(dir + "/FlashProgrammer.sss", srecords(image, 1, "FlashProgrammer", 0x0050)) && ok;
    }
    // The bootloader: code at 0xF900..0xFDFF, two option bytes at 0xFF80 and
    // its own vectors.
    {
        Random random(0xF900'FDFF);
        Sparse image;
        code(image, {0xF900, 0xFD7F}, {0xF900, 0xFD7F}, random);
        texts(image, {0xFD80, 0xFDFF}, "ROMWRIGHT SAMPLE BOOTLOADER");
        image.set(0xFF80, 0xFE);
        image.set(0xFF81, 0x7F);
        vectors(image, {0xF900, 0xFD7F}, random);
        ok = write(dir + "/bootloader.sss", srecords(image, 1, "bootloader", 0xF900)) && ok;
    }
    return ok;
}

// Every block of the table gets code; its first byte is never 0xFF, so no
// block is skipped as erased.
bool writeFull(int rows, const std::string &path)
{
    const std::span<const FlashBlock> blocks = rows == 64
                                                   ? std::span<const FlashBlock>(romwright::kFlashBlocks64)
                                                   : std::span<const FlashBlock>(romwright::kFlashBlocks128);
    Random random(rows == 64 ? 0xF011'0064 : 0xF011'0128);
    Sparse image;
    const Range target{static_cast<std::uint32_t>(blocks.front().Address), 0xF8FF};
    for (const FlashBlock &block : blocks) {
        const auto first = static_cast<std::uint32_t>(block.Address);
        code(image, {first, first + block.Length - 1u}, target, random);
        if (image.at(first) == 0xFF)
            image.set(first, 0x9D);
    }
    vectors(image, target, random);
    return write(path, srecords(image, 1, rows == 64 ? "full64" : "full128", target.first));
}

int usage()
{
    std::fputs("usage: romwright-samplegen samples DIR | full 64|128 FILE\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "samples") == 0)
        return writeSamples(argv[2]) ? 0 : 1;
    if (argc == 4 && std::strcmp(argv[1], "full") == 0) {
        const std::string rows = argv[2];
        if (rows != "64" && rows != "128")
            return usage();
        return writeFull(std::stoi(rows), argv[3]) ? 0 : 1;
    }
    return usage();
}
