#include "flash/BlockTransfer.h"

#include "flash/BlockRecords.h"

namespace romwright {

BlockTransfer::BlockTransfer(BootloaderLink &link, UpdateEvents &events) : m_link(link), m_events(events) {}

RecordResult BlockTransfer::SendBinaryRecord(const FlashBlock &block, const MemoryImage &image)
{
    const auto record = binaryRecord(block, image);
    if (!record)
        return {};
    // One write for the whole record: the bytes on the line are the same as
    // for four single bytes and the data, at a quarter of the system calls.
    return {true, m_link.send(*record)};
}

RecordResult BlockTransfer::SendHexRecord(const FlashBlock &block, const MemoryImage &image)
{
    const auto record = hexRecord(block, image);
    if (!record)
        return {};
    Outcome outcome = m_link.send(*record);
    if (outcome == Outcome::Ok)
        outcome = m_link.WaitForByte('p', m_link.timings().ackBound);
    return {true, outcome};
}

Outcome BlockTransfer::walk(Pass pass, std::span<const FlashBlock> table, const MemoryImage &image)
{
    TransferProgress progress;
    progress.pass = pass;
    for (const FlashBlock &block : table) {
        const int size =
            pass == Pass::Bootloader ? binaryRecordSize(block, image) : hexRecordSize(block, image);
        if (size > 0) {
            ++progress.blocksTotal;
            progress.bytesTotal += size;
        }
    }
    m_events.progress(progress);

    clearFailedBlock();
    for (std::size_t index = 0; index < table.size(); ++index) {
        const FlashBlock &block = table[index];
        RecordResult result;
        if (pass == Pass::Bootloader) {
            result = SendBinaryRecord(block, image);
            if (result.sent && result.outcome == Outcome::Ok)
                result.outcome = m_link.WaitForByte('R', m_link.timings().ackBound);
        } else {
            result = SendHexRecord(block, image);
        }
        if (endsProgram(result.outcome)) {
            m_failedBlock = static_cast<int>(index);
            m_failedAddress = static_cast<int>(block.Address);
            return result.outcome;
        }
        if (!result.sent)
            continue;

        ++progress.blocksSent;
        progress.bytesSent +=
            pass == Pass::Bootloader ? binaryRecordSize(block, image) : hexRecordSize(block, image);
        m_events.progress(progress);
    }

    m_events.passDone(pass);
    return Outcome::Ok;
}

} // namespace romwright
