#pragma once
// The S-record reader: puts the data bytes of a Motorola S-record text into
// a MemoryImage. Every record is checked (hex digits, length, checksum,
// count records) before any of its bytes is stored, so a damaged file never
// passes for a good one; what was stored before the damage stays.

#include "image/MemoryImage.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace romwright {

class FileSystem;

enum class SrecordError {
    None,
    NotFound,   // the file does not exist
    Unreadable, // it exists but cannot be read
    Folder,     // a folder stands at the path
    NotRegular, // a FIFO, a device or the like
    PermissionDenied,
    TooLarge,      // larger than any firmware file can be; never read
    Empty,         // not a single byte
    NotHex,        // a count, address, data or checksum digit that is not hex
    Truncated,     // the line ends before the count's worth of digits
    CountTooSmall, // the count does not even cover the address and checksum
    BadChecksum,
    TrailingText,  // something other than blanks after the checksum
    BeyondImage,   // a data byte would land above 0xFFFF
    CountMismatch, // an S5/S6 record disagrees with the data records before it
    NoEndRecord,   // records, but the last is no S7, S8 or S9: the file may have been cut short
    LowerCaseMark, // "s1" and the like: a record in all but its mark, never skipped unseen
};

// Inclusive range of target addresses.
struct AddressRange {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    friend bool operator==(const AddressRange &, const AddressRange &) = default;
};

struct SrecordResult {
    SrecordError error = SrecordError::None;
    int line = 0;                        // 1-based line of the failure
    std::int32_t bytesStored = 0;        // every write counts, also a second one to the same address
    int dataRecords = 0;                 // S1, S2 and S3 records, also those without data
    std::array<int, 10> recordsOfType{}; // index = the digit after "S"
    int endRecordType = 0;               // 7, 8 or 9 when the last record is an end record; else 0
    long countRecordValue = 0;           // CountMismatch: what the count record said
    std::vector<AddressRange> stored;    // per data record, in file order (unmerged)
    int skippedLines = 0;                // blank lines, comments and other lines that are no record
    QByteArray header;                   // the data of the first S0 record; releases name themselves there

    bool ok() const { return error == SrecordError::None; }
    // A read that succeeded and stored at least one byte: the only kind that may be programmed.
    bool heldData() const { return ok() && bytesStored > 0; }
};

// Parses text already in memory. Lines end at CR, LF or CR LF; a record is
// a line whose first non-blank characters are "S" and the type digit. A
// UTF-8 byte-order mark before the first line is ignored, and a DOS end-of-
// file mark (0x1A) ends the text wherever it stands. A text with records
// must end with an end record (S7, S8 or S9) as its last record.
// Nothing but the addressed bytes of image is touched.
SrecordResult ParseMotorolaSrecords(const QByteArray &text, MemoryImage &image);

// Reads the whole file through files and parses it; NotFound when it does not exist.
SrecordResult ParseSrecordFile(const FileSystem &files, const QString &FileName, MemoryImage &Image);
SrecordResult ParseSrecordFile(const QString &FileName, MemoryImage &Image);

// Short plain-English reason of a failure, e.g. "the checksum does not match".
QString failureReason(const SrecordResult &result);

// Sorted, merged view of result.stored: the address ranges the file filled.
std::vector<AddressRange> filledRanges(const SrecordResult &result);

} // namespace romwright
