#pragma once
// Programming along a block table: one record per block that holds data,
// each acknowledged before the next goes out, with the lamps and the
// progress the window shows.

#include "flash/BootloaderLink.h"
#include "image/MemoryImage.h"

#include <functional>
#include <span>

namespace romwright {

class MainView;

enum class Pass {
    Bootloader, // "D" records to the RAM loader, each answered with "R"
    Firmware,   // "P" records to the bootloader, each answered with "p"
};

struct TransferProgress {
    Pass pass = Pass::Firmware;
    int blocksSent = 0;
    int blocksTotal = 0;  // blocks of the table that hold data
    qint64 bytesSent = 0; // record bytes written so far
    qint64 bytesTotal = 0;
};

struct RecordResult {
    bool sent = false;             // false: the block was all 0xFF, nothing written
    Outcome outcome = Outcome::Ok; // an End value when the program must end
};

class BlockTransfer {
public:
    BlockTransfer(BootloaderLink &link, MainView &view);

    // Writes the "D" record of the block; the caller waits for "R".
    RecordResult SendBinaryRecord(const FlashBlock &block, const MemoryImage &image);
    // Writes the "P" record of the block and waits for its "p".
    RecordResult SendHexRecord(const FlashBlock &block, const MemoryImage &image);

    // The whole table, index 0 upwards. Ok, or the End value of a failed step.
    Outcome walk(Pass pass, std::span<const FlashBlock> table, const MemoryImage &image);

    // Called before the first block and after every block sent.
    std::function<void(const TransferProgress &)> onProgress;

private:
    BootloaderLink &m_link;
    MainView &m_view;
};

} // namespace romwright
