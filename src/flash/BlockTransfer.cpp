#include "flash/BlockTransfer.h"

#include "flash/BlockRecords.h"
#include "view/MainView.h"

namespace romwright {

BlockTransfer::BlockTransfer(BootloaderLink &link, MainView &view) : m_link(link), m_view(view) {}

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
        outcome = m_link.WaitForByte(letter::kProgrammed, m_link.timings().ackBound);
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
    m_view.setProgress(0, progress.blocksTotal);
    if (onProgress)
        onProgress(progress);

    bool toggle = true;
    for (const FlashBlock &block : table) {
        RecordResult result;
        if (pass == Pass::Bootloader) {
            result = SendBinaryRecord(block, image);
            if (result.sent && result.outcome == Outcome::Ok)
                result.outcome = m_link.WaitForByte(letter::kReady, m_link.timings().ackBound);
        } else {
            result = SendHexRecord(block, image);
        }
        if (endsProgram(result.outcome))
            return result.outcome;
        if (!result.sent)
            continue;

        if (pass == Pass::Bootloader)
            m_view.setLamp(LampId::RamLoader, Lamp::Green);
        else
            m_view.setUpdatingNoteVisible(true);
        m_view.setLamp(LampId::Working, toggle ? Lamp::Green : Lamp::Red);
        toggle = !toggle;

        ++progress.blocksSent;
        progress.bytesSent +=
            pass == Pass::Bootloader ? binaryRecordSize(block, image) : hexRecordSize(block, image);
        m_view.setProgress(progress.blocksSent, progress.blocksTotal);
        if (onProgress)
            onProgress(progress);
    }

    m_view.setProgress(0, 0);
    if (pass == Pass::Firmware) {
        m_view.setLamp(LampId::Working, Lamp::Green);
        m_view.setUpdatingNoteVisible(false);
    }
    m_view.setLamp(LampId::Program, Lamp::Green);
    return Outcome::Ok;
}

} // namespace romwright
