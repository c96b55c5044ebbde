#include "flash/BlockTransfer.h"

#include "flash/BlockRecords.h"

#include <optional>
#include <vector>

namespace romwright {

BlockTransfer::BlockTransfer(BootloaderLink &link, UpdateEvents &events) : m_link(link), m_events(events) {}

Outcome BlockTransfer::walk(Pass pass, std::span<const FlashBlock> table, const MemoryImage &image)
{
    // Every record of the pass is built before the first goes out: from an
    // acknowledgement to the next record there is then only the write. An
    // erased block has none.
    std::vector<std::optional<QByteArray>> records;
    records.reserve(table.size());
    TransferProgress progress;
    progress.pass = pass;
    for (const FlashBlock &block : table) {
        records.push_back(pass == Pass::Bootloader ? binaryRecord(block, image) : hexRecord(block, image));
        if (records.back()) {
            ++progress.blocksTotal;
            progress.bytesTotal += int(records.back()->size());
        }
    }
    m_events.progress(progress);

    // A "D" record is answered with "R", a "P" record with "p". One write
    // for the whole record: the bytes on the line are the same as byte by
    // byte, at a fraction of the system calls.
    const std::uint8_t answer = pass == Pass::Bootloader ? letter::kReady : letter::kProgrammed;
    clearFailedBlock();
    for (std::size_t index = 0; index < table.size(); ++index) {
        const std::optional<QByteArray> &record = records[index];
        if (!record)
            continue;
        Outcome outcome = m_link.send(*record);
        if (outcome == Outcome::Ok)
            outcome = m_link.WaitForByte(answer, m_link.timings().ackBound);
        if (endsProgram(outcome)) {
            m_failedBlock = static_cast<int>(index);
            m_failedAddress = static_cast<int>(table[index].Address);
            return outcome;
        }
        ++progress.blocksSent;
        progress.bytesSent += int(record->size());
        m_events.progress(progress);
    }

    m_events.passDone(pass);
    return Outcome::Ok;
}

} // namespace romwright
