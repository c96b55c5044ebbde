#include "SimOptions.h"

#include <cctype>
#include <charconv>

namespace romwright::sim {

namespace {

std::optional<long> toNumber(const std::string &text, long min, long max)
{
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < min || value > max)
        return std::nullopt;
    return value;
}

// C escapes of a text: \r \n \0 \xNN \\; nullopt for any other.
std::optional<std::string> unescaped(const std::string &text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i >= text.size())
            return std::nullopt;
        const char c = text[i];
        if (c == 'r' || c == 'n' || c == '0' || c == '\\') {
            out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == '0' ? '\0' : '\\';
        } else if (c == 'x' && i + 2 < text.size() &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

const std::set<std::string> kCommands = {"M3", "R5", "A2", "I3", "T4", "M6", "A1", "R1", "V"};

} // namespace

std::string usage()
{
    return R"(usage: romwright-sim --link PATH [options]
Plays a scanner on a pseudo-terminal; PATH becomes a link to the terminal.

  --boot Z|Q|A        boot software: old ("Z", 19200 baud, RAM loader and "D"
                      records), 64-byte ("Q") or 128-byte ("A") bootloader (default Q)
  --boot-r4 Z|Q|A     boot software of the bar-code processor, reached by "R4"
                      (default: the same as --boot, which "R2" reaches)
  --unanswered-request N  the Nth request heard ("R2" or "R4") gets no greeting
  --start-in-boot     start in the boot software instead of normal mode
  --exit-after SEC    exit after SEC seconds (default: when the update completes)
  --line-rate         every byte takes 10 bit times at the line's rate
  --dump FILE         write the 65,536-byte flash at exit
  --flash FILE        start with the flash FILE holds, if it exists, and write it
                      back there at exit: a restart on the same FILE is a power cycle
  --log FILE          transcript of every byte in and out with its time
  --stall-after N     stop answering after N acknowledgements
  --hangup-after N    close the line after N acknowledgements
  --noise             a stray byte in front of every seventh acknowledgement (the 3rd, 10th, ...)
  --slow-erase MS     an erase takes MS milliseconds
  --greet-late MS     a greeting comes MS milliseconds after the request
  --ack-latency MS    hold each byte sent until the next multiple of MS
                      milliseconds, as a USB adapter's latency timer does
  --model halvern|jorlith|wexmoor   identity answer in normal mode (default halvern)
  --identity TEXT     the identity answer is TEXT before CR LF, whatever --model
                      or --compat say (e.g. "HLV 1451OK" or "OK")
  --answer-delay MS   the identity answer comes MS milliseconds after the query
                      (0 to 10000)
  --rate 19200|38400  rate of normal mode (default 38400)
  --compat            answer "JL 19.2kOK" at 19200 baud
  --boot-prompt Q|A   already in the boot software: the identity query gets the prompt letter
  --silent            normal mode answers nothing
  --silent-after-update  the firmware does not start after the final R
  --mute CMD          leave the normal-mode command CMD (M3 R5 A2 I3 T4 M6 A1 R1 V) unanswered
  --send-r1 MS        send "R1" CR LF unsolicited MS milliseconds after the start
  --answer TEXT       the identity answer is exactly TEXT, with \r \n \0 \xNN and \\
                      as escapes and no line end added (also the prompt of --boot-prompt)
  --babble MS         another device on the line: 1 to 4 random bytes every MS milliseconds
  --seed N            the babble's seed (default 1)
)";
}

ParsedOptions parseOptions(const std::vector<std::string> &args)
{
    SimOptions o;
    bool rateGiven = false;
    bool compat = false;
    std::optional<std::string> identity;
    auto fail = [](std::string text) { return ParsedOptions{std::nullopt, std::move(text), false}; };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };
        auto number = [&](long min, long max) -> std::optional<long> {
            const auto v = value();
            return v ? toNumber(*v, min, max) : std::nullopt;
        };
        if (arg == "--help" || arg == "-h")
            return ParsedOptions{std::nullopt, usage(), true};
        if (arg == "--link") {
            const auto v = value();
            if (!v || v->empty())
                return fail("--link needs a path");
            o.link = *v;
        } else if (arg == "--boot" || arg == "--boot-r4") {
            const auto v = value();
            BootKind kind = BootKind::Q64;
            if (v == "Z")
                kind = BootKind::Old;
            else if (v == "A")
                kind = BootKind::A128;
            else if (v != "Q")
                return fail(arg + " takes Z, Q or A");
            (arg == "--boot" ? o.boot : o.bootR4.emplace()) = kind;
        } else if (arg == "--start-in-boot") {
            o.startInBoot = true;
        } else if (arg == "--exit-after") {
            const auto v = value();
            double seconds = 0;
            if (!v || std::from_chars(v->data(), v->data() + v->size(), seconds).ec != std::errc() ||
                seconds <= 0)
                return fail("--exit-after takes a positive number of seconds");
            o.exitAfter = seconds;
        } else if (arg == "--line-rate") {
            o.lineRate = true;
        } else if (arg == "--dump" || arg == "--log" || arg == "--flash") {
            const auto v = value();
            if (!v || v->empty())
                return fail(arg + " needs a file name");
            (arg == "--dump" ? o.dump : arg == "--log" ? o.log : o.flash) = *v;
        } else if (arg == "--stall-after" || arg == "--hangup-after" || arg == "--unanswered-request") {
            const auto n = number(0, 1'000'000);
            if (!n)
                return fail(arg + " takes a count");
            (arg == "--stall-after"    ? o.stallAfter
             : arg == "--hangup-after" ? o.hangupAfter
                                       : o.unanswered) = int(*n);
        } else if (arg == "--noise") {
            o.noise = true;
        } else if (arg == "--ack-latency") {
            const auto n = number(1, 1000);
            if (!n)
                return fail(arg + " takes milliseconds (1 to 1000)");
            o.ackLatency = Millis(*n);
        } else if (arg == "--slow-erase" || arg == "--greet-late" || arg == "--send-r1") {
            const auto n = number(0, 3'600'000);
            if (!n)
                return fail(arg + " takes milliseconds");
            if (arg == "--slow-erase")
                o.slowErase = Millis(*n);
            else if (arg == "--greet-late")
                o.greetLate = Millis(*n);
            else
                o.sendR1 = Millis(*n);
        } else if (arg == "--model") {
            const auto v = value();
            if (v == "halvern")
                o.identity = "HLV 1450OK";
            else if (v == "jorlith")
                o.identity = "JL 750OK";
            else if (v == "wexmoor")
                o.identity = "WX 3650OK";
            else
                return fail("--model takes halvern, jorlith or wexmoor");
        } else if (arg == "--identity") {
            identity = value();
            if (!identity)
                return fail("--identity needs the answer's text");
        } else if (arg == "--answer-delay") {
            const auto n = number(0, 10'000);
            if (!n)
                return fail(arg + " takes milliseconds (0 to 10000)");
            o.answerDelay = Millis(*n);
        } else if (arg == "--rate") {
            const auto n = number(0, 1'000'000);
            if (n != 19200 && n != 38400)
                return fail("--rate takes 19200 or 38400");
            o.rate = int(*n);
            rateGiven = true;
        } else if (arg == "--compat") {
            compat = true;
        } else if (arg == "--boot-prompt") {
            const auto v = value();
            if (v != "Q" && v != "A")
                return fail("--boot-prompt takes Q or A");
            o.bootPrompt = (*v)[0];
        } else if (arg == "--answer") {
            const auto v = value();
            const std::optional<std::string> bytes = v ? unescaped(*v) : std::nullopt;
            if (!bytes)
                return fail("--answer takes a text with \\r \\n \\0 \\xNN \\\\ escapes");
            o.answer = *bytes;
        } else if (arg == "--babble") {
            const auto n = number(1, 60'000);
            if (!n)
                return fail(arg + " takes milliseconds (1 to 60000)");
            o.babble = Millis(*n);
        } else if (arg == "--seed") {
            const auto n = number(0, 4'000'000'000);
            if (!n)
                return fail(arg + " takes a number");
            o.seed = unsigned(*n);
        } else if (arg == "--silent") {
            o.silent = true;
        } else if (arg == "--silent-after-update") {
            o.silentAfterUpdate = true;
        } else if (arg == "--mute") {
            const auto v = value();
            if (!v || !kCommands.count(*v))
                return fail("--mute takes one of M3 R5 A2 I3 T4 M6 A1 R1 V");
            o.muted.insert(*v);
        } else {
            return fail("unknown option " + arg);
        }
    }
    if (o.link.empty())
        return fail("--link PATH is required");
    if (compat) {
        if (rateGiven && o.rate != 19200)
            return fail("--compat answers at 19200 baud");
        o.identity = "JL 19.2kOK";
        o.rate = 19200;
    }
    if (identity)
        o.identity = *identity;
    if (o.bootPrompt) {
        o.boot = *o.bootPrompt == 'Q' ? BootKind::Q64 : BootKind::A128;
        o.startInBoot = true;
    }
    return ParsedOptions{o, {}, false};
}

} // namespace romwright::sim
