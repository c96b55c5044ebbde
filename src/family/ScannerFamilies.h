#pragma once
// The scanner families the program serves, one row each. The model table
// detection probes with, the release names of each family's firmware, the
// Open dialog's filters, the chooser's buttons and answers and the firmware
// check all derive from these rows: a new model is one more row. The
// identity answers come from the scanners' own version replies, the release
// names from the firmware the scanner maker shipped.

#include <QString>
#include <QtGlobal>

#include <array>
#include <string_view>

namespace romwright {

// Scanner-type codes as the whole program reads them (TypeOfScanner). The
// three families' codes are their rows' (a new row takes a free one: 3, 4, 7
// on); the other two are states of detection.
enum ScannerType : qint32 {
    kNotDetected = 0,
    kJorlith750 = 1,
    kHalvern1450 = 2,
    kWexmoor3650 = 5,
    kNoScannerFound = 6,
};

// Which boot software a release is for: the 64-byte bootloader greets with
// "Q", the 128-byte one with "A".
enum class BootSoftware { Any, Rows64, Rows128 };
// Which of a scanner's processors a release is for.
enum class Processor { Any, Main, BarCode };

// A run of release names, newest first: prefix, major digit, "_", minor
// digit, extension, counting down by 0.1 from `from` to `to` (in tenths).
struct ReleaseRun {
    std::string_view prefix; // in the releases' own letter case
    int from = 0;
    int to = 0;
    std::string_view extension;
};

// The releases for one boot software or one processor, in the order the
// start-up search tries them.
struct ReleaseLine {
    BootSoftware boot = BootSoftware::Any;
    Processor processor = Processor::Any;
    std::array<ReleaseRun, 2> runs{}; // an empty prefix ends the list
};

// One row of the model table: the key it is stored under, the rate, and its
// place in the order detection probes the rows in (from 1).
struct Probe {
    std::string_view key;
    qint32 baud = 0;
    int row = 0;
};

struct ScannerFamily {
    ScannerType type = kNotDetected;
    std::string_view family;       // "Halvern": its files' filter, the chooser's button, --model in any case
    std::string_view shown;        // "Halvern 1450": the model label; its first letter picks the family
    std::string_view chooserModel; // the chooser's Model for this button
    std::string_view identity;     // the answer to versionCommand, without its line end
    std::array<Probe, 2> probes{}; // a rate of 0 ends the list
    std::array<ReleaseLine, 2> releases{};
    bool fullCommandSet = false; // SendCommand drives it with the full command set
    // A scanner of this family in its compatibility mode answers this at this
    // rate, or its own identity, to any row of that rate; detection then
    // stops on that port without a find.
    qint32 compatibilityBaud = 0;
    std::string_view compatibilityAnswer{};
    std::string_view versionCommand = "V";
};

inline constexpr std::array<ScannerFamily, 3> kScannerFamilies{{
    {.type = kHalvern1450,
     .family = "Halvern",
     .shown = "Halvern 1450",
     .chooserModel = "Halvern1450",
     .identity = "HLV 1450OK",
     .probes = {{{"k_HLV14", 38400, 1}, {"k_HLV14C", 19200, 3}}},
     // Versions 3.3 and 3.2 were never released.
     .releases = {{{BootSoftware::Rows64,
                    Processor::Any,
                    {{{"Hlv1450ver", 60, 34, ".s19"}, {"Hlv1450ver", 31, 31, ".s19"}}}},
                   {BootSoftware::Rows128, Processor::Any, {{{"Hlv1450Uver", 60, 40, ".s19"}}}}}},
     .fullCommandSet = true},
    {.type = kJorlith750,
     .family = "Jorlith",
     .shown = "Jorlith 750",
     .chooserModel = "Jorlith750",
     .identity = "JL 750OK",
     .probes = {{{"k_JL07", 38400, 2}, {"k_JL07C", 19200, 4}}},
     .releases = {{{BootSoftware::Rows64, Processor::Any, {{{"JL750Ver", 60, 22, ".s19"}}}},
                   {BootSoftware::Rows128, Processor::Any, {{{"JL750UVer", 60, 40, ".s19"}}}}}},
     .fullCommandSet = true,
     .compatibilityBaud = 19200,
     .compatibilityAnswer = "JL 19.2kOK"},
    // Two processors, one list of releases whatever the boot software; every
    // Main release is tried before any BarCode one.
    {.type = kWexmoor3650,
     .family = "Wexmoor",
     .shown = "Wexmoor 3650",
     .chooserModel = "Wexmoor 3650",
     .identity = "WX 3650OK",
     .probes = {{{"k_WX36", 38400, 5}}},
     .releases = {{{BootSoftware::Any, Processor::Main, {{{"WX3650UVer", 60, 10, ".s19"}}}},
                   {BootSoftware::Any, Processor::BarCode, {{{"WX3650UVer", 19, 10, ".s20"}}}}}}},
}};

// The family's letters: the leading letters of its first release prefix
// ("Hlv", "JL", "WX"), by which a release name is recognised in any case.
constexpr std::string_view familyLetters(const ScannerFamily &family)
{
    const std::string_view prefix = family.releases[0].runs[0].prefix;
    std::size_t n = 0;
    while (n < prefix.size() &&
           ((prefix[n] >= 'A' && prefix[n] <= 'Z') || (prefix[n] >= 'a' && prefix[n] <= 'z')))
        ++n;
    return prefix.substr(0, n);
}

namespace detail {

constexpr bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if ((a[i] | 0x20) != (b[i] | 0x20))
            return false;
    return true;
}

consteval int probeCount()
{
    int n = 0;
    for (const ScannerFamily &f : kScannerFamilies)
        for (const Probe &p : f.probes)
            n += p.baud != 0;
    return n;
}

// Every place in the probing order is taken by exactly one row.
consteval bool probeRowsAreAPermutation()
{
    const int n = probeCount();
    for (int row = 1; row <= n; ++row) {
        int holders = 0;
        for (const ScannerFamily &f : kScannerFamilies)
            for (const Probe &p : f.probes)
                holders += p.baud != 0 && p.row == row;
        if (holders != 1)
            return false;
    }
    return true;
}

// What picks a family out of a label, a code, a release name or the chooser's
// answer picks one only.
consteval bool familiesAreTellable()
{
    for (std::size_t i = 0; i < kScannerFamilies.size(); ++i) {
        const ScannerFamily &a = kScannerFamilies[i];
        if (a.type == kNotDetected || a.type == kNoScannerFound || a.shown.empty() ||
            familyLetters(a).empty())
            return false;
        for (std::size_t j = i + 1; j < kScannerFamilies.size(); ++j) {
            const ScannerFamily &b = kScannerFamilies[j];
            if (a.type == b.type || a.shown[0] == b.shown[0] || a.chooserModel == b.chooserModel ||
                sameIgnoringCase(familyLetters(a), familyLetters(b)))
                return false;
        }
    }
    return true;
}

} // namespace detail

inline constexpr int kModelTableRows = detail::probeCount();
static_assert(detail::probeRowsAreAPermutation(),
              "each row of the probing order belongs to exactly one probe");
static_assert(detail::familiesAreTellable(),
              "families need their own type code, first letter of the shown name, release letters and "
              "chooser answer");

inline QString latin1(std::string_view text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// The family of a scanner-type code; null for none.
inline const ScannerFamily *familyOfType(int typeOfScanner)
{
    for (const ScannerFamily &f : kScannerFamilies)
        if (f.type == typeOfScanner)
            return &f;
    return nullptr;
}

// The family a model label names, by its first letter as the window shows
// it (upper case, exact); null for any other label.
inline const ScannerFamily *familyShownAs(const QString &label)
{
    if (label.isEmpty())
        return nullptr;
    for (const ScannerFamily &f : kScannerFamilies)
        if (label.at(0) == QLatin1Char(f.shown[0]))
            return &f;
    return nullptr;
}

// The family shown exactly so ("Halvern 1450"); null for any other text.
inline const ScannerFamily *familyNamed(const QString &shown)
{
    for (const ScannerFamily &f : kScannerFamilies)
        if (shown == latin1(f.shown))
            return &f;
    return nullptr;
}

// Whether the family's releases go to one processor or another.
constexpr bool hasProcessors(const ScannerFamily &family)
{
    for (const ReleaseLine &line : family.releases)
        if (line.processor != Processor::Any)
            return true;
    return false;
}

} // namespace romwright
