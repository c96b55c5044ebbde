#include "image/FirmwareCheck.h"
#include "app/update/FirmwareDiscovery.h"
#include "image/ParseMotorolaSrecords.h"
#include "image/SrecordWriter.h"

#include <gtest/gtest.h>

using namespace romwright;

namespace {

FirmwareData bytes(std::initializer_list<std::pair<std::size_t, std::size_t>> ranges)
{
    FirmwareData data;
    for (const auto &[first, last] : ranges)
        for (std::size_t a = first; a <= last; ++a)
            data.set(a);
    return data;
}

// Data as the releases lay it out, each with its vectors at 0xFFCC..0xFFFF.
const FirmwareData kRows64 = bytes({{0x0580, 0x05FF}, {0x0E00, 0x0F3F}, {0x8000, 0x80FF}, {0xFFCC, 0xFFFF}});
const FirmwareData kRows128 = bytes({{0x1200, 0x12FF}, {0xFB00, 0xFBFF}, {0xFFCC, 0xFFFF}});
const FirmwareData kEither = bytes({{0x2000, 0x20FF}, {0xFFCC, 0xFFFF}});

} // namespace

// Every name of every candidate list, then names typed by hand.
TEST(FirmwareKind, NameAndDataOfEveryCandidateListAndOfOtherFiles)
{
    using B = BootSoftware;
    using P = Processor;
    using C = ContentFit;
    struct Case {
        QStringList names;
        FirmwareData data;
        FirmwareKind kind;
    };
    // clang-format off
    const Case cases[] = {
        {firmwareCandidates(2, false), kRows64, {false, kHalvern1450, B::Rows64, P::Any, C::Fits, C::Outside}},
        {firmwareCandidates(2, true), kRows128, {false, kHalvern1450, B::Rows128, P::Any, C::Outside, C::Fits}},
        {firmwareCandidates(1, false), kRows64, {false, kJorlith750, B::Rows64, P::Any, C::Fits, C::Outside}},
        {firmwareCandidates(1, true), kRows128, {false, kJorlith750, B::Rows128, P::Any, C::Outside, C::Fits}},
        {firmwareCandidates(5, false, false), kEither, {false, kWexmoor3650, B::Any, P::Main, C::Fits, C::Fits}},
        {firmwareCandidates(5, true, true), kEither, {false, kWexmoor3650, B::Any, P::BarCode, C::Fits, C::Fits}},
        // Letter case and a folder do not matter.
        {{"/home/ann/hlv1450UVER4_0.S19"}, kRows128, {false, kHalvern1450, B::Rows128, P::Any, C::Outside, C::Fits}},
        {{"C:\\Romwright\\BOOTLOADER.SSS"}, bytes({{0xF900, 0xFDFF}}),
         {true, kNotDetected, B::Any, P::Any, C::Nothing, C::Outside}},
        {{"FlashProgrammer.sss"}, bytes({{0x0050, 0x044F}}),
         {true, kNotDetected, B::Any, P::Any, C::Nothing, C::Nothing}},
        // Unknown names, judged by their data alone.
        {{"Halvern.s19"}, kRows128, {false, kNotDetected, B::Any, P::Any, C::Outside, C::Fits}},
        {{"JLVer6_0.s19"}, bytes({{0x0450, 0x049D}}), {false, kNotDetected, B::Any, P::Any, C::Fits, C::Nothing}},
        {{"xWX3650UVer1_9.s20"}, bytes({{0xFFCC, 0xFFFF}}), {false, kNotDetected, B::Any, P::Any, C::Fits, C::Nothing}},
        {{"high.s19"}, bytes({{0xF900, 0xF9FF}}), {false, kNotDetected, B::Any, P::Any, C::Nothing, C::Fits}},
        {{"empty.s19"}, FirmwareData(), {false, kNotDetected, B::Any, P::Any, C::Nothing, C::Nothing}},
    };
    // clang-format on
    for (const Case &c : cases) {
        ASSERT_FALSE(c.names.isEmpty());
        for (const QString &name : c.names)
            EXPECT_EQ(firmwareKind(name, c.data), c.kind) << name.toStdString();
    }
}

// The first S0 record names the file; its text ends at a NUL and shows no control character.
TEST(FirmwareKind, HeaderTextOfTheFirstS0Record)
{
    auto s0 = [](const std::string &text) {
        return romwright::srecordLine(0, 0, std::vector<std::uint8_t>(text.begin(), text.end())) + "\n";
    };
    MemoryImage image;
    const SrecordResult read = ParseMotorolaSrecords(
        QByteArray::fromStdString(s0(std::string(" JL750Ver6_0.s19\0pad", 21)) + s0("Hlv1450ver5_9.s19")),
        image);
    EXPECT_EQ(headerText(read.header), QStringLiteral("JL750Ver6_0.s19"));
    EXPECT_EQ(headerText("WX3650\tUVer1_9.s20\r\n"), QStringLiteral("WX3650 UVer1_9.s20"));
    EXPECT_EQ(releaseKind(headerText(read.header)).family, kJorlith750);
}

TEST(FirmwareCheck, FileAgainstTheScannerAtHand)
{
    using K = FirmwareVerdict::Kind;
    struct Case {
        const char *name;
        FirmwareData data;
        ScannerAtHand scanner;
        K kind;
        const char *text;
        const char *header = "";        // the S0 text
        const char *question = nullptr; // after text in the window, when not " Program it anyway?"
    };
    // clang-format off
    const Case cases[] = {
        {"Hlv1450ver5_9.s19", kRows64, {2, false, false}, K::Fits, ""},
        {"JL750Ver6_0.s19", kRows64, {2, std::nullopt, false}, K::Ask,
         "The file JL750Ver6_0.s19 is firmware for the Jorlith 750 with the 64-byte boot software, but the scanner "
         "is a Halvern 1450."},
        {"WX3650UVer3_9.s19", kEither, {5, std::nullopt, true}, K::Ask,
         "The file WX3650UVer3_9.s19 is firmware for the Main processor of the Wexmoor 3650, but the scanner is a "
         "Wexmoor 3650 whose BarCode processor is to be updated."},
        // Boot software and data wait for the identification.
        {"Hlv1450ver5_9.s19", kRows64, {2, std::nullopt, false}, K::Fits, ""},
        {"Hlv1450ver5_9.s19", kRows64, {2, true, false}, K::Ask,
         "The file Hlv1450ver5_9.s19 is firmware for the Halvern 1450 with the 64-byte boot software, but the "
         "scanner is a Halvern 1450 with the 128-byte boot software."},
        {"/tmp/%1 <i>.s19", kRows128, {0, false, false}, K::Ask,
         "The file %1 <i>.s19 is firmware for a scanner with the 128-byte boot software, but the scanner is a "
         "scanner with the 64-byte boot software."},
        {"WX3650UVer1_9.s20", bytes({{0x0580, 0x05FF}, {0x2000, 0x20FF}, {0xFC00, 0xFC0F}}), {5, true, true}, K::Ask,
         "The file WX3650UVer1_9.s20 is firmware for a scanner with another flash layout, but the scanner is a "
         "Wexmoor 3650 with the 128-byte boot software."},
        {"bootloader.sss", bytes({{0xF900, 0xFDFF}}), {0, std::nullopt, false}, K::Refuse,
         "The file bootloader.sss is a loader that the update sends by itself, not firmware. It cannot be "
         "programmed as firmware."},
        {"JL750Ver6_0.s19", bytes({{0xF900, 0xF9FF}}), {1, false, false}, K::Refuse,
         "The file JL750Ver6_0.s19 holds nothing that an update of a scanner with the 64-byte boot software "
         "would write."},
        // The header is judged as the name is; a name that tells nothing leaves it to the header.
        {"Hlv1450ver5_9.s19", kRows64, {2, false, false}, K::Fits, "", "HLV1450ver5_9.s19"},
        {"Hlv1450ver5_9.s19", kRows64, {2, false, false}, K::Fits, "", "Made by hand"},
        {"update.s19", kRows64, {2, std::nullopt, false}, K::Ask,
         "The file update.s19 is firmware for the Jorlith 750 with the 64-byte boot software, but the scanner is a "
         "Halvern 1450.", "JL750Ver6_0.s19"},
        {"Hlv1450ver7_0.s19", kRows64, {2, std::nullopt, false}, K::Ask,
         "The name of the file Hlv1450ver7_0.s19 says it is firmware for the Halvern 1450 with the 64-byte boot "
         "software, but its header \"JL750Ver6_0.s19\" says the Jorlith 750 with the 64-byte boot software.",
         "JL750Ver6_0.s19", " Program it into the Halvern 1450 anyway?"},
        {"Hlv1450ver5_9.s19", kRows64, {2, false, false}, K::Ask,
         "The name of the file Hlv1450ver5_9.s19 says it is firmware for the Halvern 1450 with the 64-byte boot "
         "software, but its header \"Hlv1450Uver6_0.s19\" says the Halvern 1450 with the 128-byte boot software.",
         "Hlv1450Uver6_0.s19"},
        {"WX3650UVer3_9.s19", kEither, {5, std::nullopt, false}, K::Ask,
         "The name of the file WX3650UVer3_9.s19 says it is firmware for the Main processor of the Wexmoor 3650, but "
         "its header \"WX3650UVer1_9.s20\" says the BarCode processor of the Wexmoor 3650.", "WX3650UVer1_9.s20"},
        // Neither tells: asked once the identification has run.
        {"update.s19", kRows64, {2, std::nullopt, false}, K::Fits, ""},
        {"update.s19", kRows64, {2, false, false}, K::Ask, "The file update.s19 does not say which scanner it is for.",
         "", " Program it into the Halvern 1450 anyway?"},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = QString::fromUtf8(c.name);
        const FirmwareVerdict verdict =
            checkFirmware(name, firmwareKind(name, c.data, QString::fromLatin1(c.header)), c.scanner);
        EXPECT_EQ(verdict.kind, c.kind);
        EXPECT_EQ(verdict.text.toStdString(), c.text);
        if (c.question) {
            EXPECT_EQ(verdict.question.toStdString(), c.question);
        }
    }
}
