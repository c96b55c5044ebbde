#include "help/ChmLayout.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <strings.h>
#include <unordered_map>
#include <vector>

namespace romwright {
namespace {

using U64 = std::uint64_t;

constexpr U64 kItsfV2Length = 0x58;
constexpr U64 kItsfV3Length = 0x60; // chmlib reads this much whatever the version
constexpr U64 kItspLength = 0x54;
constexpr U64 kLeafHeader = 0x14;  // "PMGL" page
constexpr U64 kIndexHeader = 0x08; // "PMGI" page
constexpr U64 kLargestPage = 0x10000;
constexpr U64 kMaxPathLength = 512;
constexpr U64 kResetTableLength = 0x28;
constexpr U64 kSmallestControlData = 0x18;
constexpr U64 kLargestControlData = 256;
// chmlib reads a compressed block into a buffer this much longer than a block.
constexpr U64 kCompressedSlack = 6144;
constexpr U64 kSmallestWindow = U64(1) << 15; // the window sizes LZX knows
constexpr U64 kLargestWindow = U64(1) << 21;
constexpr U64 kSizeUnit = 0x8000; // version-2 control data counts in these

constexpr const char *kResetTable = "::DataSpace/Storage/MSCompressed/Transform/"
                                    "{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/ResetTable";
constexpr const char *kContent = "::DataSpace/Storage/MSCompressed/Content";
constexpr const char *kControlData = "::DataSpace/Storage/MSCompressed/ControlData";

// a + b <= limit, without overflow.
bool fits(U64 a, U64 b, U64 limit)
{
    return a <= limit && b <= limit - a;
}

class Bytes {
public:
    explicit Bytes(QByteArrayView data) : m_data(data) {}
    U64 size() const { return U64(m_data.size()); }
    bool has(U64 at, U64 length) const { return fits(at, length, size()); }
    unsigned char at(U64 i) const { return static_cast<unsigned char>(m_data[qsizetype(i)]); }
    bool tagAt(U64 i, const char (&tag)[5]) const
    {
        return has(i, 4) && m_data.sliced(qsizetype(i), 4) == tag;
    }
    U64 le(U64 i, int bytes) const
    {
        U64 v = 0;
        for (int b = bytes - 1; b >= 0; --b)
            v = v << 8 | at(i + U64(b));
        return v;
    }
    std::uint32_t u32(U64 i) const { return std::uint32_t(le(i, 4)); }
    std::int32_t i32(U64 i) const { return std::int32_t(u32(i)); }
    U64 u64(U64 i) const { return le(i, 8); }

private:
    QByteArrayView m_data;
};

struct Entry {
    std::string name;
    U64 space = 0, start = 0, length = 0; // on an index page, start is the child page
};

struct Page {
    bool sound = true;
    bool leaf = false;
    std::int32_t next = -1; // leaf pages only
    std::vector<Entry> entries;
};

class Directory {
public:
    Directory(const Bytes &file, U64 pagesAt, U64 pageLength, U64 pageCount)
        : m_file(file), m_pagesAt(pagesAt), m_pageLength(pageLength), m_pageCount(pageCount)
    {
    }

    U64 pageCount() const { return m_pageCount; }

    // The page as chmlib walks it, or nullptr when any entry on it runs past
    // its end or is out of range.
    const Page *page(std::int64_t number)
    {
        if (number < 0 || U64(number) >= m_pageCount)
            return nullptr;
        auto slot = m_pages.find(number);
        if (slot == m_pages.end())
            slot = m_pages.emplace(number, read(m_pagesAt + U64(number) * m_pageLength)).first;
        return slot->second.sound ? &slot->second : nullptr;
    }

private:
    Page read(U64 at) const
    {
        const Page bad{false, false, -1, {}};
        Page page;
        U64 cursor = 0;
        if (m_file.tagAt(at, "PMGL")) {
            page.leaf = true;
            page.next = m_file.i32(at + 0x10);
            cursor = kLeafHeader;
        } else if (m_file.tagAt(at, "PMGI")) {
            cursor = kIndexHeader;
        } else {
            return bad;
        }
        const U64 freeSpace = m_file.u32(at + 4);
        if (freeSpace > m_pageLength - cursor)
            return bad;
        const U64 end = m_pageLength - freeSpace;
        auto word = [&](U64 &value) {
            value = 0;
            while (cursor < end) {
                const unsigned char b = m_file.at(at + cursor++);
                value = (value << 7) + (b & 0x7f);
                if (b < 0x80)
                    return true;
            }
            return false;
        };
        while (cursor < end) {
            Entry e;
            U64 nameLength = 0;
            if (!word(nameLength) || nameLength == 0 || nameLength > kMaxPathLength ||
                nameLength > end - cursor)
                return bad;
            for (U64 i = 0; i < nameLength; ++i)
                e.name.push_back(char(m_file.at(at + cursor + i)));
            cursor += nameLength;
            if (e.name.c_str()[0] == '\0')
                return bad;
            if (page.leaf ? !(word(e.space) && word(e.start) && word(e.length)) : !word(e.start))
                return bad;
            page.entries.push_back(std::move(e));
        }
        return page;
    }

    const Bytes &m_file;
    U64 m_pagesAt, m_pageLength, m_pageCount;
    std::unordered_map<std::int64_t, Page> m_pages; // read once, when first reached
};

// chmlib stores an index page's child as an int: -1 is "no page".
std::int32_t childPage(const Entry &e)
{
    return std::int32_t(std::uint32_t(e.start));
}

// Every entry of a leaf page lies inside the file (stored entries) or inside
// the compressed section, whose end is gathered for the check against the
// reset table.
bool entriesFit(const Page &page, U64 storedLength, U64 &compressedEnd)
{
    for (const Entry &e : page.entries) {
        if (e.space > 1)
            return false;
        if (e.length == 0)
            continue;
        if (!fits(e.start, e.length, e.space == 0 ? storedLength : UINT64_MAX))
            return false;
        if (e.space == 1)
            compressedEnd = std::max(compressedEnd, e.start + e.length);
    }
    return true;
}

// Every page chmlib can reach from the root is sound and no walk from it
// comes back to a page it passed: a loop there would hang every look-up.
bool indexIsSound(Directory &dir, std::int32_t root, U64 storedLength, U64 &compressedEnd)
{
    enum class Mark : unsigned char { New, Open, Done };
    std::vector<Mark> marks(dir.pageCount(), Mark::New);
    std::vector<std::pair<std::int32_t, std::size_t>> stack{{root, 0}};
    marks[std::size_t(root)] = Mark::Open;
    while (!stack.empty()) {
        auto &[number, next] = stack.back();
        const Page *page = dir.page(number);
        if (!page || (page->leaf && next == 0 && !entriesFit(*page, storedLength, compressedEnd)))
            return false;
        if (page->leaf || next == page->entries.size()) {
            marks[std::size_t(number)] = Mark::Done;
            stack.pop_back();
            continue;
        }
        const std::int32_t child = childPage(page->entries[next++]);
        if (child == -1)
            continue;
        if (child < 0 || U64(child) >= dir.pageCount() || marks[std::size_t(child)] == Mark::Open)
            return false;
        if (marks[std::size_t(child)] == Mark::New) {
            marks[std::size_t(child)] = Mark::Open;
            stack.emplace_back(child, 0);
        }
    }
    return true;
}

// chmlib's look-up: down the index pages to a leaf, names compared as it does.
std::optional<Entry> resolve(Directory &dir, std::int32_t root, const char *name)
{
    std::int32_t number = root;
    while (number != -1) {
        const Page *page = dir.page(number);
        if (!page)
            return std::nullopt;
        if (page->leaf) {
            for (const Entry &e : page->entries) {
                if (strcasecmp(e.name.c_str(), name) == 0)
                    return e;
            }
            return std::nullopt;
        }
        std::int32_t child = -1;
        for (const Entry &e : page->entries) {
            if (strcasecmp(e.name.c_str(), name) > 0)
                break;
            child = childPage(e);
        }
        number = child;
    }
    return std::nullopt;
}

struct Compression {
    U64 windowSize = 0;
    U64 blockLength = 0;
    U64 uncompressedLength = 0;
};

// The control data and reset table chmlib divides by and reads blocks with.
std::optional<Compression> compressionOf(const Bytes &file, U64 dataAt, const Entry &resetTable,
                                         const Entry &content, const Entry &control)
{
    if (control.length < kSmallestControlData || control.length > kLargestControlData ||
        resetTable.length < kResetTableLength)
        return std::nullopt;
    const U64 c = dataAt + control.start;
    if (!file.tagAt(c + 4, "LZXC"))
        return std::nullopt;
    const U64 version = file.u32(c + 8);
    U64 resetInterval = file.u32(c + 12);
    U64 windowSize = file.u32(c + 16);
    const U64 windowsPerReset = file.u32(c + 20);
    if (version == 2) {
        resetInterval *= kSizeUnit;
        windowSize *= kSizeUnit;
    } else if (version != 1) {
        return std::nullopt;
    }
    // chmlib keeps both in 32 bits; a size that wraps there is no size.
    if (resetInterval > UINT32_MAX || windowSize < kSmallestWindow || windowSize > kLargestWindow ||
        (windowSize & (windowSize - 1)) != 0 || resetInterval == 0 || resetInterval % (windowSize / 2) != 0 ||
        windowsPerReset == 0 || resetInterval / (windowSize / 2) * windowsPerReset > UINT32_MAX)
        return std::nullopt;

    const U64 r = dataAt + resetTable.start;
    if (file.u32(r) != 2)
        return std::nullopt;
    const U64 blockCount = file.u32(r + 4);
    const U64 tableAt = file.u32(r + 12);
    Compression z{windowSize, file.u64(r + 0x20), file.u64(r + 0x10)};
    const U64 compressedLength = file.u64(r + 0x18);
    const U64 largestBlock = z.blockLength + kCompressedSlack;
    if (z.blockLength == 0 || z.blockLength > windowSize ||
        !fits(tableAt, blockCount * 8, resetTable.length) || compressedLength > content.length ||
        z.uncompressedLength > blockCount * z.blockLength)
        return std::nullopt;
    U64 previous = 0;
    for (U64 i = 0; i < blockCount; ++i) {
        const U64 start = file.u64(r + tableAt + 8 * i);
        if (start < previous || start > compressedLength || (i > 0 && start - previous > largestBlock))
            return std::nullopt;
        previous = start;
    }
    if (blockCount > 0 && compressedLength - previous > largestBlock)
        return std::nullopt;
    return z;
}

} // namespace

bool chmLayoutIsSound(QByteArrayView data)
{
    const Bytes file(data);
    if (!file.has(0, kItsfV3Length) || !file.tagAt(0, "ITSF"))
        return false;
    const std::int32_t version = file.i32(4);
    const std::int32_t headerLength = file.i32(8);
    if (!(version == 2 && headerLength >= std::int32_t(kItsfV2Length)) &&
        !(version == 3 && headerLength >= std::int32_t(kItsfV3Length)))
        return false;
    const U64 dirAt = file.u64(0x48);
    const U64 dirLength = file.u64(0x50);
    if (!file.has(dirAt, dirLength) || dirLength < kItspLength)
        return false;
    const U64 dataAt = version == 3 ? file.u64(0x58) : dirAt + dirLength;
    if (dataAt > file.size())
        return false;

    if (!file.tagAt(dirAt, "ITSP") || file.i32(dirAt + 4) != 1 ||
        file.i32(dirAt + 8) != std::int32_t(kItspLength))
        return false;
    const U64 pageLength = file.u32(dirAt + 0x10);
    const std::int32_t indexRoot = file.i32(dirAt + 0x1c);
    const std::int32_t firstLeaf = file.i32(dirAt + 0x20);
    if (pageLength < kLeafHeader || pageLength > kLargestPage)
        return false;
    // The pages chmlib can reach are the ones inside the directory.
    const U64 pageCount = (dirLength - kItspLength) / pageLength;
    const std::int32_t root = indexRoot <= -1 ? firstLeaf : indexRoot;
    if (firstLeaf < 0 || U64(firstLeaf) >= pageCount || root < 0 || U64(root) >= pageCount)
        return false;

    Directory dir(file, dirAt + kItspLength, pageLength, pageCount);
    const U64 storedLength = file.size() - dataAt;
    U64 compressedEnd = 0;
    if (!indexIsSound(dir, root, storedLength, compressedEnd))
        return false;
    // The chain of leaf pages that a listing walks, without a loop.
    std::vector<bool> seen(pageCount, false);
    for (std::int32_t number = firstLeaf; number != -1;) {
        const Page *page = dir.page(number);
        if (!page || !page->leaf || seen[std::size_t(number)] ||
            !entriesFit(*page, storedLength, compressedEnd))
            return false;
        seen[std::size_t(number)] = true;
        number = page->next;
    }

    const auto resetTable = resolve(dir, root, kResetTable);
    const auto content = resolve(dir, root, kContent);
    const auto control = resolve(dir, root, kControlData);
    for (const auto &e : {resetTable, content, control}) {
        if (e && e->space != 0)
            return false;
    }
    if (!resetTable && !content && !control)
        return compressedEnd == 0;
    if (!resetTable || !content || !control)
        return false;
    const auto compression = compressionOf(file, dataAt, *resetTable, *content, *control);
    return compression && compressedEnd <= compression->uncompressedLength;
}

} // namespace romwright
