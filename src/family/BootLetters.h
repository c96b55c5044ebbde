#pragma once
// The letters of the dialogue with the scanner's boot software, one byte
// each (ASCII), named once. The program is always the master: it sends a
// command letter and waits for one letter back. "R" has three roles, told
// apart by who sends it and when.

namespace romwright::letter {

// To the running scanner: "R" and the processor, written together; the
// scanner restarts into its boot software, which greets.
inline constexpr const char *kRequestMain = "R2";
inline constexpr const char *kRequestBarCode = "R4";

inline constexpr char kGreetingOld = 'Z'; // from the old bootloader, at 19200 baud
inline constexpr char kGreeting64 =
    'Q'; // from the 64-byte bootloader (sLetterQ; the hidden prompt may change it)
inline constexpr char kGreeting128 = 'A'; // from the 128-byte bootloader (sLetterA)

constexpr bool isGreeting(char c)
{
    return c == kGreetingOld || c == kGreeting64 || c == kGreeting128;
}

// The old bootloader and the RAM loader it receives.
inline constexpr char kSendRamLoader = 'G'; // to the old bootloader: the 1,024-byte RAM loader follows
inline constexpr char kReady = 'R';         // from either: ready, loader received, erased, record programmed
inline constexpr char kBinaryRecord = 'D';  // to the RAM loader: a block of raw bytes

// The 64- and 128-byte bootloaders.
inline constexpr char kBeginPass = 'z';  // to the bootloader: first command of a firmware pass
inline constexpr char kPassBegun = 'C';  // from the bootloader: answer to kBeginPass
inline constexpr char kErased = 'e';     // from the bootloader: the flash is erased
inline constexpr char kHexRecord = 'P';  // to the bootloader: a block in hexadecimal text
inline constexpr char kProgrammed = 'p'; // from the bootloader: the record is programmed
inline constexpr char kRestart = 'R';    // to the bootloader: last command of a pass; nothing is awaited

inline constexpr char kErase = 'E'; // to the RAM loader or a bootloader: erase the flash

// Whatever a boot software sends: a greeting or an acknowledgement.
constexpr bool isFromBootSoftware(char c)
{
    return isGreeting(c) || c == kReady || c == kPassBegun || c == kErased || c == kProgrammed;
}

// EXIT: sent to an open port before it is closed.
inline constexpr char kLeave = '@';

} // namespace romwright::letter
