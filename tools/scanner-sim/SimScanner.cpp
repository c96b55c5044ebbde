#include "SimScanner.h"

#include <cstdio>
#include <set>
#include <utility>

namespace romwright::sim {

namespace {

constexpr int kOldBootRate = 19200;
constexpr int kBootRate = 38400;
constexpr std::chrono::milliseconds kZRepeat{500};
// How long a command waits for the rest of itself; the program writes each
// command in one piece, so its bytes follow each other within microseconds.
constexpr std::chrono::milliseconds kCommandGap{30};
constexpr std::size_t kRamLoaderSize = 1024;
constexpr std::size_t kBinaryRecordSize = 68;
constexpr std::uint8_t kNoiseByte = 0xFE;

const std::set<std::string> kNormalCommands = {"M3", "R5", "A2", "I3", "T4", "M6", "A1", "R1"};

bool isUpperHex(std::uint8_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

unsigned hexValue(const std::vector<std::uint8_t> &text, std::size_t from, std::size_t digits)
{
    unsigned value = 0;
    for (std::size_t i = from; i < from + digits; ++i)
        value = value * 16 + unsigned(text[i] <= '9' ? text[i] - '0' : text[i] - 'A' + 10);
    return value;
}

std::string printable(std::uint8_t byte)
{
    char buffer[8];
    if (byte >= 0x20 && byte < 0x7F)
        std::snprintf(buffer, sizeof buffer, "'%c'", byte);
    else
        std::snprintf(buffer, sizeof buffer, "0x%02X", byte);
    return buffer;
}

} // namespace

std::uint8_t garbled(std::uint8_t byte)
{
    return std::uint8_t(0x80 | ((byte ^ 0x5A) & 0x7F));
}

SimScanner::SimScanner(const SimOptions &options, ScannerHost &host) : m_options(options), m_host(host) {}

void SimScanner::start()
{
    m_rate = m_options.rate;
    if (m_options.startInBoot)
        restartIntoBoot('2', false);
    else
        m_host.note("normal mode at " + std::to_string(m_rate) + " baud");
    if (m_options.babble) {
        m_random.seed(m_options.seed);
        m_host.startTimer(*m_options.babble, [this] { babble(); });
    }
    if (m_options.sendR1) {
        m_host.startTimer(*m_options.sendR1, [this] {
            if (m_mode == Mode::Normal && !m_options.silent)
                answer("R1\r\n");
        });
    }
}

void SimScanner::receive(std::uint8_t byte, int senderRate)
{
    if (m_mode == Mode::Done || m_hungUp) {
        m_host.note("ignored after the end: " + printable(byte));
        return;
    }
    // The user power-cycles after the bootloader installation; the program
    // then talks at 38400 baud to the bootloader it has just installed.
    if (m_mode == Mode::RamLoader && senderRate == kBootRate)
        powerCycleIntoBootloader();
    if (senderRate != m_rate) {
        m_host.note("sent at " + std::to_string(senderRate) + " baud, heard at " + std::to_string(m_rate) +
                    ": garbage");
        byte = garbled(byte);
    }
    if (m_stalled) {
        m_host.note("stalled, ignored " + printable(byte));
        return;
    }
    switch (m_mode) {
    case Mode::Normal:
        normalByte(byte);
        break;
    case Mode::OldBoot:
        oldBootByte(byte);
        break;
    case Mode::RamLoader:
        ramLoaderByte(byte);
        break;
    case Mode::Bootloader:
        bootloaderByte(byte);
        break;
    case Mode::Done:
        break;
    }
}

// --- normal mode -----------------------------------------------------------

void SimScanner::armPendingTimer()
{
    if (m_pendingTimer >= 0)
        m_host.cancelTimer(m_pendingTimer);
    m_pendingTimer = m_host.startTimer(kCommandGap, [this] {
        m_pendingTimer = -1;
        flushPending();
    });
}

// A command cut short by silence: "V" alone is the version command, "V" CR
// the identity query with its LF lost; anything else is dropped.
void SimScanner::flushPending()
{
    const std::string pending = std::exchange(m_pending, {});
    if (pending.empty())
        return;
    if (m_mode == Mode::Normal && pending == "V")
        normalCommand("V");
    else if (pending == "V" || pending == "V\r")
        m_mode == Mode::Normal ? normalCommand("V\r\n") : answer(bootPrompt());
    else if (pending == "R" && m_mode == Mode::Bootloader && m_step == Step::Ready)
        finalR();
    else
        m_host.note("incomplete command dropped");
}

void SimScanner::finalR()
{
    m_host.note("final R: the update is complete");
    if (m_options.silentAfterUpdate) {
        m_mode = Mode::Done;
    } else {
        // The new firmware starts in normal mode, as after switching on.
        m_mode = Mode::Normal;
        m_step = Step::Idle;
        m_rate = m_options.rate;
        m_newFirmware = true;
        m_host.note("the new firmware starts: normal mode at " + std::to_string(m_rate) + " baud");
    }
    m_host.complete();
}

void SimScanner::normalByte(std::uint8_t byte)
{
    if (m_pending.empty()) {
        switch (byte) {
        case 'V':
        case 'R':
        case 'M':
        case 'A':
        case 'I':
        case 'T':
            m_pending = char(byte);
            armPendingTimer();
            return;
        case '\r':
        case '\n':
            return;
        case '@':
            m_host.note("the program is leaving");
            return;
        default:
            m_host.note("unknown byte " + printable(byte));
            return;
        }
    }
    if (m_pendingTimer >= 0) {
        m_host.cancelTimer(m_pendingTimer);
        m_pendingTimer = -1;
    }
    if (m_pending == "V") {
        if (byte == '\r') {
            m_pending = "V\r";
            armPendingTimer();
            return;
        }
        m_pending.clear();
        normalCommand("V");
        normalByte(byte);
        return;
    }
    if (m_pending == "V\r") {
        m_pending.clear();
        normalCommand("V\r\n");
        if (byte != '\n')
            normalByte(byte);
        return;
    }
    const std::string command = m_pending + char(byte);
    m_pending.clear();
    // "R2" and "R4" restart into the boot software; "R1" and "R5" are
    // commands like the others.
    if (command == "R2" || command == "R4")
        restartIntoBoot(command[1], true);
    else
        normalCommand(command);
}

void SimScanner::normalCommand(const std::string &command)
{
    if (command == "V\r\n") {
        if (m_options.silent) {
            m_host.note("identity query unanswered (silent)");
        } else if (m_options.answerDelay.count() > 0) {
            // A slow firmware: the answer comes later, at the rate of the
            // mode that was asked, whatever the program sends meanwhile.
            m_host.note("identity answer in " + std::to_string(m_options.answerDelay.count()) + " ms");
            const bool afterUpdate = m_newFirmware;
            m_host.startTimer(m_options.answerDelay, [this, afterUpdate, rate = m_rate] {
                if (m_stalled || m_hungUp || m_mode == Mode::Done)
                    return;
                m_host.send(identityAnswer(), rate);
                m_answeredAfterUpdate = m_answeredAfterUpdate || afterUpdate;
            });
        } else {
            answer(identityAnswer());
            m_answeredAfterUpdate = m_answeredAfterUpdate || m_newFirmware;
        }
        return;
    }
    if (command != "V" && !kNormalCommands.count(command)) {
        m_host.note("unknown command " + command);
        return;
    }
    if (m_options.silent || m_options.muted.count(command)) {
        m_host.note("command " + command + " unanswered");
        return;
    }
    answer(command == "V" ? identityAnswer() : std::string("OK\r\n"));
}

std::string SimScanner::identityAnswer() const
{
    return m_options.answer ? *m_options.answer : m_options.identity + "\r\n";
}

std::string SimScanner::bootPrompt() const
{
    return m_options.answer && m_options.bootPrompt ? *m_options.answer : std::string(1, m_bootLetter);
}

// Another device on the line, whatever the scanner does.
void SimScanner::babble()
{
    std::string bytes(1 + m_random() % 4, '\0');
    for (char &c : bytes)
        c = char(m_random() % 256);
    m_host.note("babble of " + std::to_string(bytes.size()) + " bytes");
    m_host.send(bytes, m_rate);
    m_host.startTimer(*m_options.babble, [this] { babble(); });
}

void SimScanner::answer(std::string_view text)
{
    if (m_stalled)
        return;
    m_host.send(text, m_rate);
}

// --- boot software ---------------------------------------------------------

void SimScanner::restartIntoBoot(char processor, bool requested)
{
    m_host.note(requested ? std::string("restart into the boot software for the ") +
                                (processor == '4' ? "bar-code" : "main") + " processor"
                          : std::string("starting in the boot software"));
    m_pending.clear();
    m_record.clear();
    m_step = Step::Idle;
    m_processor = processor;
    const BootKind boot = bootOf(processor);
    if (boot == BootKind::Old) {
        m_mode = Mode::OldBoot;
        m_rate = kOldBootRate;
        startZRepeat();
    } else {
        m_mode = Mode::Bootloader;
        m_rate = kBootRate;
        m_bootLetter = boot == BootKind::A128 ? 'A' : 'Q';
        // The new bootloaders greet in answer to a request only.
        if (requested)
            greetAfterRequest();
    }
}

// Each processor has boot software of its own; "R4" reaches the bar-code one.
BootKind SimScanner::bootOf(char processor) const
{
    return processor == '4' && m_options.bootR4 ? *m_options.bootR4 : m_options.boot;
}

void SimScanner::greet()
{
    if (m_stalled || m_mode == Mode::Done)
        return;
    const char letter = m_mode == Mode::OldBoot ? 'Z' : m_bootLetter;
    m_host.send(std::string_view(&letter, 1), m_rate);
}

void SimScanner::greetAfterRequest()
{
    if (m_options.unanswered && ++m_requests == *m_options.unanswered) {
        m_host.note("request " + std::to_string(m_requests) + " left unanswered");
        return;
    }
    if (m_options.greetLate.count() > 0)
        m_host.startTimer(m_options.greetLate, [this] { greet(); });
    else
        greet();
}

// The old boot software cannot read the request, which comes at 38400 baud,
// so it says "Z" every half second until "G" arrives.
void SimScanner::startZRepeat()
{
    m_zTimer = m_host.startTimer(m_options.greetLate, [this] { zTick(); });
}

void SimScanner::zTick()
{
    if (m_mode != Mode::OldBoot)
        return;
    greet();
    m_zTimer = m_host.startTimer(kZRepeat, [this] { zTick(); });
}

void SimScanner::oldBootByte(std::uint8_t byte)
{
    if (byte != 'G') {
        m_host.note("old boot software ignores " + printable(byte));
        return;
    }
    if (m_zTimer >= 0)
        m_host.cancelTimer(m_zTimer);
    m_zTimer = -1;
    m_mode = Mode::RamLoader;
    m_step = Step::Loading;
    m_record.clear();
    acknowledge('R');
}

void SimScanner::ramLoaderByte(std::uint8_t byte)
{
    switch (m_step) {
    case Step::Loading:
        m_record.push_back(byte);
        if (m_record.size() == kRamLoaderSize) {
            // In full, so that a test can hold it against the loader file.
            std::string hex;
            for (std::uint8_t b : m_record) {
                char digits[3];
                std::snprintf(digits, sizeof digits, "%02X", b);
                hex += digits;
            }
            m_host.note("RAM loader received, 1024 bytes: " + hex);
            m_record.clear();
            m_step = Step::RamReady;
            acknowledge('R');
        }
        return;
    case Step::RamReady:
        if (byte != 'E') {
            m_host.note("RAM loader waits for E, ignores " + printable(byte));
            return;
        }
        m_flash.erase(FlashMap::Bootloader);
        m_step = Step::RamRecords;
        acknowledge('R', m_options.slowErase);
        return;
    case Step::RamRecords:
        if (m_record.empty() && byte != 'D') {
            m_host.note("RAM loader waits for a D record, ignores " + printable(byte));
            return;
        }
        m_record.push_back(byte);
        if (m_record.size() == kBinaryRecordSize)
            finishBinaryRecord();
        return;
    default:
        return;
    }
}

void SimScanner::finishBinaryRecord()
{
    const std::vector<std::uint8_t> r = std::exchange(m_record, {});
    const std::uint16_t address = std::uint16_t(r[2] << 8 | r[3]);
    const auto block = findBlock(FlashMap::Bootloader, address);
    char where[16];
    std::snprintf(where, sizeof where, "0x%04X", address);
    if (!block)
        return rejectRecord(std::string("D record at ") + where + " outside the bootloader's map");
    if (r[1] != block->length + 3)
        return rejectRecord(std::string("D record at ") + where + " with count " + std::to_string(r[1]) +
                            ", the block needs " + std::to_string(block->length + 3));
    for (std::size_t i = 4 + block->length; i < kBinaryRecordSize; ++i)
        if (r[i] != 0)
            return rejectRecord(std::string("D record at ") + where + " with data behind its block");
    m_flash.program(address, r.data() + 4, block->length);
    acknowledge('R');
}

void SimScanner::powerCycleIntoBootloader()
{
    m_host.note("power cycle: the new bootloader starts");
    m_mode = Mode::Bootloader;
    m_bootLetter = 'Q';
    m_rate = kBootRate;
    m_step = Step::Idle;
    m_record.clear();
    m_pending.clear();
}

void SimScanner::bootloaderByte(std::uint8_t byte)
{
    if (!m_record.empty()) {
        if (!isUpperHex(byte)) {
            rejectRecord("P record broken by " + printable(byte));
            bootloaderByte(byte);
            return;
        }
        m_record.push_back(byte);
        if (m_record.size() == 3) {
            const unsigned length = hexValue(m_record, 1, 2);
            if (length == 0) {
                rejectRecord("P record of length 0");
                return;
            }
            m_recordLength = 7 + 2 * length;
        }
        if (m_record.size() > 3 && m_record.size() == m_recordLength)
            finishHexRecord();
        return;
    }
    if (!m_pending.empty()) {
        if (m_pendingTimer >= 0)
            m_host.cancelTimer(m_pendingTimer);
        m_pendingTimer = -1;
        const std::string pending = std::exchange(m_pending, {});
        if (pending == "R" && (byte == '2' || byte == '4')) {
            if (m_step == Step::Ready) {
                // A request in the middle of a pass: the program that sent the
                // records is gone. The flash is incomplete, so the restart
                // lands in the boot software again.
                m_host.note("request during the firmware pass: starting again in the boot software");
                m_step = Step::Idle;
            }
            if (bootOf(char(byte)) != bootOf(m_processor)) {
                restartIntoBoot(char(byte), true); // the other processor's boot software
                return;
            }
            m_host.note(std::string("request R") + char(byte));
            greetAfterRequest();
            return;
        }
        if (pending == "V" && byte == '\r') {
            m_pending = "V\r";
            armPendingTimer();
            return;
        }
        if (pending == "V\r" && byte == '\n') {
            answer(bootPrompt()); // the bare prompt
            return;
        }
        if (pending == "R" && m_step == Step::Ready) {
            finalR();
            return;
        }
        m_host.note("incomplete command dropped");
    }
    switch (byte) {
    case 'R':
        // Alone it ends a pass; "R2" or "R4" is a request (the next byte tells).
        m_pending = "R";
        armPendingTimer();
        return;
    case 'V':
        if (m_step == Step::Idle) {
            m_pending = "V";
            armPendingTimer();
        }
        return;
    case 'z':
        if (m_step == Step::Idle)
            m_step = Step::Connected;
        acknowledge('C');
        return;
    case 'E':
        if (m_step == Step::Idle) {
            m_host.note("E before z ignored");
            return;
        }
        m_flash.erase(bootloaderMap());
        m_step = Step::Ready;
        acknowledge('e', m_options.slowErase);
        return;
    case 'P':
        if (m_step != Step::Ready)
            m_host.note("P record before the erase");
        if (m_step == Step::Idle)
            return;
        m_record.assign(1, byte);
        m_recordLength = 0;
        return;
    default:
        m_host.note("bootloader ignores " + printable(byte));
        return;
    }
}

void SimScanner::finishHexRecord()
{
    const std::vector<std::uint8_t> r = std::exchange(m_record, {});
    const unsigned length = hexValue(r, 1, 2);
    const std::uint16_t address = std::uint16_t(hexValue(r, 3, 4));
    char where[16];
    std::snprintf(where, sizeof where, "0x%04X", address);
    const auto block = findBlock(bootloaderMap(), address);
    if (!block)
        return rejectRecord(std::string("P record at ") + where + " outside the bootloader's map");
    if (block->length != length)
        return rejectRecord(std::string("P record at ") + where + " of " + std::to_string(length) +
                            " bytes, the block has " + std::to_string(block->length));
    std::vector<std::uint8_t> data(length);
    for (unsigned i = 0; i < length; ++i)
        data[i] = std::uint8_t(hexValue(r, 7 + 2 * i, 2));
    m_flash.program(address, data.data(), length);
    acknowledge('p');
}

void SimScanner::rejectRecord(const std::string &why)
{
    m_record.clear();
    m_recordLength = 0;
    m_host.note("rejected, not acknowledged: " + why);
}

void SimScanner::acknowledge(char letter, Clock::duration delay)
{
    if (m_hungUp)
        return;
    if (m_options.hangupAfter && m_acks >= *m_options.hangupAfter) {
        m_hungUp = true;
        m_host.hangUp();
        return;
    }
    if (m_stalled || (m_options.stallAfter && m_acks >= *m_options.stallAfter)) {
        m_stalled = true;
        m_host.note(std::string("stalled: no ") + letter);
        return;
    }
    ++m_acks;
    std::string bytes;
    if (m_options.noise && m_acks % 7 == 3)
        bytes.push_back(char(kNoiseByte));
    bytes.push_back(letter);
    const bool hangUpAfter = m_options.hangupAfter && m_acks >= *m_options.hangupAfter;
    auto sendIt = [this, bytes, hangUpAfter] {
        m_host.send(bytes, m_rate);
        if (hangUpAfter) {
            m_hungUp = true;
            m_host.hangUp();
        }
    };
    if (delay.count() > 0)
        m_host.startTimer(delay, sendIt);
    else
        sendIt();
}

} // namespace romwright::sim
