#pragma once
// Programming along a block table: one record per block that holds data,
// each acknowledged before the next goes out, reporting its progress.

#include "flash/BootloaderLink.h"
#include "flash/UpdateEvents.h"
#include "image/MemoryImage.h"

#include <span>

namespace romwright {

class BlockTransfer {
public:
    BlockTransfer(BootloaderLink &link, UpdateEvents &events);

    // The whole table, index 0 upwards. Ok, or the End value of a failed step.
    Outcome walk(Pass pass, std::span<const FlashBlock> table, const MemoryImage &image);

    // The block the last walk ended on early: its index in the table and
    // its first address; -1 for both after a whole pass or outside one.
    int failedBlock() const { return m_failedBlock; }
    int failedAddress() const { return m_failedAddress; }
    void clearFailedBlock() { m_failedBlock = m_failedAddress = -1; }

private:
    BootloaderLink &m_link;
    UpdateEvents &m_events;
    int m_failedBlock = -1;
    int m_failedAddress = -1;
};

} // namespace romwright
