#include "image/ParseMotorolaSrecords.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <optional>

namespace romwright {

namespace {

// Bytes of the address field per record type; 0 for the reserved S4.
constexpr std::array<int, 10> kAddressBytes{2, 2, 3, 4, 0, 2, 3, 4, 3, 2};

// Longest possible record: count FF, i.e. 255 bytes after the count byte.
constexpr int kMaxRecordBytes = 1 + 255;

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

struct Line {
    const char *begin;
    const char *end;
};

// Decodes the hex pairs of one record after its type mark into bytes:
// count byte, address, data, checksum. Remembers the first fault.
class RecordDecoder {
public:
    RecordDecoder(const char *from, const char *end) : m_pos(from), m_end(end) {}

    std::optional<int> nextByte()
    {
        int value = 0;
        for (int digit = 0; digit < 2; ++digit) {
            if (m_pos == m_end) {
                m_error = SrecordError::Truncated;
                return std::nullopt;
            }
            const int nibble = hexValue(*m_pos++);
            if (nibble < 0) {
                m_error = SrecordError::NotHex;
                return std::nullopt;
            }
            value = value * 16 + nibble;
        }
        return value;
    }

    bool onlyBlanksLeft() const { return std::all_of(m_pos, m_end, isBlank); }
    SrecordError error() const { return m_error; }

private:
    const char *m_pos;
    const char *m_end;
    SrecordError m_error = SrecordError::None;
};

class Parser {
public:
    Parser(MemoryImage &image, SrecordResult &result) : m_image(image), m_result(result) {}

    // False when the line ends reading.
    bool parseLine(Line line, int number)
    {
        const char *p = line.begin;
        while (p != line.end && isBlank(*p))
            ++p;
        const bool marked = line.end - p >= 2 && p[1] >= '0' && p[1] <= '9';
        if (marked && p[0] == 's')
            return fail(SrecordError::LowerCaseMark, number);
        if (!marked || p[0] != 'S' || p[1] == '4') {
            ++m_result.skippedLines; // blank lines, comments, the reserved S4
            return true;
        }
        const int type = p[1] - '0';
        const SrecordError verdict = decode(type, RecordDecoder(p + 2, line.end));
        return verdict == SrecordError::None || fail(verdict, number);
    }

private:
    bool fail(SrecordError error, int number)
    {
        m_result.error = error;
        m_result.line = number;
        return false;
    }

    SrecordError decode(int type, RecordDecoder decoder)
    {
        const auto count = decoder.nextByte();
        if (!count)
            return decoder.error();
        const int addressBytes = kAddressBytes[static_cast<std::size_t>(type)];
        if (*count < addressBytes + 1)
            return SrecordError::CountTooSmall;

        std::array<std::uint8_t, kMaxRecordBytes> bytes{};
        unsigned sum = static_cast<unsigned>(*count);
        for (int i = 0; i < *count; ++i) {
            const auto byte = decoder.nextByte();
            if (!byte)
                return decoder.error();
            bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(*byte);
            sum += static_cast<unsigned>(*byte);
        }
        if (!decoder.onlyBlanksLeft())
            return SrecordError::TrailingText;
        if ((sum & 0xFFu) != 0xFFu)
            return SrecordError::BadChecksum;

        std::uint32_t address = 0;
        for (int i = 0; i < addressBytes; ++i)
            address = (address << 8) | bytes[static_cast<std::size_t>(i)];

        ++m_result.recordsOfType[static_cast<std::size_t>(type)];
        m_result.endRecordType = 0; // only an end record as the last record ends the file
        switch (type) {
        case 1:
        case 2:
        case 3:
            ++m_result.dataRecords;
            return store(address, bytes.data() + addressBytes, *count - addressBytes - 1);
        case 5:
        case 6:
            // The field holds the count's low 16 (S5) or 24 (S6) bits.
            if (address !=
                (static_cast<std::uint32_t>(m_result.dataRecords) & ((1u << (8 * addressBytes)) - 1))) {
                m_result.countRecordValue = static_cast<long>(address);
                return SrecordError::CountMismatch;
            }
            return SrecordError::None;
        case 7:
        case 8:
        case 9:
            m_result.endRecordType = type;
            return SrecordError::None;
        default: // S0 header
            if (m_result.recordsOfType[0] == 1)
                m_result.header = QByteArray(reinterpret_cast<const char *>(bytes.data()) + addressBytes,
                                             *count - addressBytes - 1);
            return SrecordError::None;
        }
    }

    // Stores up to the top of the image; a byte beyond it ends the read
    // with the bytes before it kept.
    SrecordError store(std::uint32_t address, const std::uint8_t *data, int length)
    {
        if (length == 0)
            return SrecordError::None;
        const std::uint32_t room =
            address < kImageSize ? static_cast<std::uint32_t>(kImageSize) - address : 0;
        const std::uint32_t fits = std::min(room, static_cast<std::uint32_t>(length));
        if (fits > 0) {
            std::copy_n(data, fits, m_image.begin() + address);
            m_result.bytesStored += static_cast<std::int32_t>(fits);
            m_result.stored.push_back({address, address + fits - 1});
        }
        return fits == static_cast<std::uint32_t>(length) ? SrecordError::None : SrecordError::BeyondImage;
    }

    MemoryImage &m_image;
    SrecordResult &m_result;
};

} // namespace

SrecordResult ParseMotorolaSrecords(const QByteArray &input, MemoryImage &image)
{
    // Editors on some systems put a byte-order mark before the first record;
    // old tools end a text with 0x1A, and pad after it.
    static const QByteArray kByteOrderMark("\xEF\xBB\xBF");
    constexpr char kEndOfFile = '\x1A';
    QByteArray text = input.startsWith(kByteOrderMark) ? input.sliced(kByteOrderMark.size()) : input;
    if (const qsizetype mark = text.indexOf(kEndOfFile); mark >= 0)
        text.truncate(mark);
    SrecordResult result;
    if (text.isEmpty()) {
        result.error = SrecordError::Empty;
        result.line = 1;
        return result;
    }
    Parser parser(image, result);
    const char *pos = text.constData();
    const char *const end = pos + text.size();
    int number = 1;
    while (pos != end) {
        const char *lineEnd = std::find_if(pos, end, [](char c) { return c == '\r' || c == '\n'; });
        if (!parser.parseLine({pos, lineEnd}, number))
            return result;
        pos = lineEnd;
        if (pos != end && *pos++ == '\r' && pos != end && *pos == '\n')
            ++pos; // CR LF is one line end
        if (pos != end)
            ++number;
    }
    const bool anyRecord = std::any_of(result.recordsOfType.begin(), result.recordsOfType.end(),
                                       [](int records) { return records > 0; });
    if (anyRecord && result.endRecordType == 0) {
        result.error = SrecordError::NoEndRecord;
        result.line = number; // the last line, where the file stops
    }
    return result;
}

SrecordResult ParseSrecordFile(const FileSystem &files, const QString &FileName, MemoryImage &Image)
{
    const FileContents contents = files.read(FileName);
    if (contents.status != ReadStatus::Ok) {
        SrecordResult result;
        switch (contents.status) {
        case ReadStatus::NotFound:
            result.error = SrecordError::NotFound;
            break;
        case ReadStatus::Folder:
            result.error = SrecordError::Folder;
            break;
        case ReadStatus::NotRegular:
            result.error = SrecordError::NotRegular;
            break;
        case ReadStatus::PermissionDenied:
            result.error = SrecordError::PermissionDenied;
            break;
        case ReadStatus::TooLarge:
            result.error = SrecordError::TooLarge;
            break;
        case ReadStatus::Ok:
        case ReadStatus::Unreadable:
            result.error = SrecordError::Unreadable;
            break;
        }
        result.line = result.error == SrecordError::Unreadable ? 1 : 0;
        return result;
    }
    return ParseMotorolaSrecords(contents.bytes, Image);
}

SrecordResult ParseSrecordFile(const QString &FileName, MemoryImage &Image)
{
    return ParseSrecordFile(LocalFileSystem(), FileName, Image);
}

QString failureReason(const SrecordResult &result)
{
    switch (result.error) {
    case SrecordError::None:
        return QString();
    case SrecordError::NotFound:
        return QStringLiteral("the file was not found");
    case SrecordError::Unreadable:
        return QStringLiteral("the file cannot be read");
    case SrecordError::Folder:
        return QStringLiteral("it is a folder");
    case SrecordError::NotRegular:
        return QStringLiteral("it is not a regular file");
    case SrecordError::PermissionDenied:
        return QStringLiteral("permission denied");
    case SrecordError::TooLarge:
        return QStringLiteral("the file is larger than any firmware file can be (more than %1 MB)")
            .arg(kLargestFileRead / (1024 * 1024));
    case SrecordError::Empty:
        return QStringLiteral("the file is empty");
    case SrecordError::NotHex:
        return QStringLiteral("a character that is not a hex digit");
    case SrecordError::Truncated:
        return QStringLiteral("the record is shorter than its count");
    case SrecordError::CountTooSmall:
        return QStringLiteral("the record's count is too small");
    case SrecordError::BadChecksum:
        return QStringLiteral("the checksum does not match");
    case SrecordError::TrailingText:
        return QStringLiteral("text after the checksum");
    case SrecordError::BeyondImage:
        return QStringLiteral("data beyond address FFFF");
    case SrecordError::LowerCaseMark:
        return QStringLiteral("the record mark must be an upper-case S");
    case SrecordError::CountMismatch:
        return QStringLiteral("the count record says %1 data records but %2 came before it")
            .arg(QString::number(result.countRecordValue), QString::number(result.dataRecords));
    case SrecordError::NoEndRecord:
        return QStringLiteral("the file ends without an end record: it may have been cut short");
    }
    return QString();
}

std::vector<AddressRange> filledRanges(const SrecordResult &result)
{
    std::vector<AddressRange> ranges = result.stored;
    std::sort(ranges.begin(), ranges.end(),
              [](const AddressRange &a, const AddressRange &b) { return a.first < b.first; });
    std::vector<AddressRange> merged;
    for (const AddressRange &range : ranges) {
        if (!merged.empty() && range.first <= merged.back().last + 1)
            merged.back().last = std::max(merged.back().last, range.last);
        else
            merged.push_back(range);
    }
    return merged;
}

} // namespace romwright
