#pragma once
// The scanner's behaviour on the line, without the line: normal mode with
// its identity answer and short commands, the old boot software with its RAM
// loader, and the 64- and 128-byte bootloaders. Bytes come in with the rate
// they were sent at; a byte sent at a rate the scanner is not listening at is
// garbage to it, as on a real cable.

#include "FlashMemory.h"
#include "SimOptions.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace romwright::sim {

using Clock = std::chrono::steady_clock;

// What the scanner needs of its surroundings.
class ScannerHost {
public:
    using TimerId = int;
    virtual ~ScannerHost() = default;
    // Sends bytes at the given rate, after what is already on its way.
    virtual void send(std::string_view bytes, int rate) = 0;
    virtual TimerId startTimer(Clock::duration delay, std::function<void()> action) = 0;
    virtual void cancelTimer(TimerId id) = 0;
    virtual void note(const std::string &text) = 0;
    // The update is complete (final "R").
    virtual void complete() = 0;
    // Close the line once what is on its way has gone out.
    virtual void hangUp() = 0;
};

// The byte a receiver listening at the wrong rate makes of a byte: never a
// letter of any dialogue.
std::uint8_t garbled(std::uint8_t byte);

class SimScanner {
public:
    enum class Mode { Normal, OldBoot, RamLoader, Bootloader, Done };

    SimScanner(const SimOptions &options, ScannerHost &host);

    // Starts the scanner: normal mode or its boot software, the timers of the options.
    void start();
    // One byte from the program, sent at senderRate.
    void receive(std::uint8_t byte, int senderRate);
    // The rate the scanner sends and listens at now.
    int rate() const { return m_rate; }
    Mode mode() const { return m_mode; }
    const FlashMemory &flash() const { return m_flash; }
    // Before start(): the flash as a dump left it.
    bool loadFlash(const std::string &path) { return m_flash.load(path); }
    int acknowledgements() const { return m_acks; }
    // The new firmware runs after the update and has not yet answered its identity.
    bool awaitsIdentity() const { return m_newFirmware && !m_answeredAfterUpdate; }

private:
    std::string identityAnswer() const;
    std::string bootPrompt() const;
    void babble();
    enum class Step {
        Idle,       // normal mode / bootloader waiting for "z" / old boot waiting for "G"
        Connected,  // bootloader after "z"
        Ready,      // bootloader after the erase: records
        Loading,    // RAM loader bytes coming in
        RamReady,   // RAM loader waiting for "E"
        RamRecords, // RAM loader taking "D" records
    };

    void normalByte(std::uint8_t byte);
    void normalCommand(const std::string &command);
    void flushPending();
    void finalR();
    void restartIntoBoot(char processor, bool requested);
    BootKind bootOf(char processor) const;
    void oldBootByte(std::uint8_t byte);
    void ramLoaderByte(std::uint8_t byte);
    void bootloaderByte(std::uint8_t byte);
    void powerCycleIntoBootloader();
    void greet();
    void greetAfterRequest();
    void startZRepeat();
    void zTick();
    void acknowledge(char letter, Clock::duration delay = {});
    void answer(std::string_view text);
    void finishHexRecord();
    void finishBinaryRecord();
    void rejectRecord(const std::string &why);
    void armPendingTimer();
    FlashMap bootloaderMap() const { return m_bootLetter == 'A' ? FlashMap::Rows128 : FlashMap::Rows64; }

    SimOptions m_options;
    ScannerHost &m_host;
    FlashMemory m_flash;
    Mode m_mode = Mode::Normal;
    Step m_step = Step::Idle;
    int m_rate = 38400;
    char m_bootLetter = 'Q';
    char m_processor = '2'; // whose boot software answers: '2' main, '4' bar-code
    int m_acks = 0;
    int m_requests = 0; // requests that asked for a greeting
    bool m_stalled = false;
    bool m_hungUp = false;
    bool m_newFirmware = false;         // started by the final "R"
    bool m_answeredAfterUpdate = false; // its identity asked and answered

    std::string m_pending; // a command or request not complete yet
    std::mt19937 m_random;
    ScannerHost::TimerId m_pendingTimer = -1;
    ScannerHost::TimerId m_zTimer = -1;
    std::vector<std::uint8_t> m_record; // record or RAM loader bytes so far
    std::size_t m_recordLength = 0;     // bytes the current record needs in all
};

} // namespace romwright::sim
