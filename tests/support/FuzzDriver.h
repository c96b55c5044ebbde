#pragma once
// Runs a fuzz target without libFuzzer (any compiler): every seed as it is,
// then a bounded number of seeded mutations of them.
//   DRIVER MUTATIONS SEED...   (a seed is a file or a folder of them)

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace romwright::test {

// Ends the run, for the driver and for libFuzzer alike, when a target's
// condition does not hold.
inline void fuzzCheck(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

inline qsizetype fuzzBelow(std::mt19937 &random, qsizetype bound)
{
    return bound > 0 ? qsizetype(std::uint64_t(random()) % std::uint64_t(bound)) : 0;
}

inline void loadSeeds(const QString &path, std::vector<QByteArray> &seeds)
{
    if (QFileInfo(path).isDir()) {
        const QDir dir(path);
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name))
            loadSeeds(dir.filePath(name), seeds);
        return;
    }
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        seeds.push_back(file.readAll());
}

// Where to change an input: half the time just after an anchor (where a
// structure of the format starts), else mostly within its first 4 KB.
inline qsizetype fuzzPosition(const QByteArray &input, const QList<QByteArray> &anchors, std::mt19937 &random)
{
    if (!anchors.isEmpty() && fuzzBelow(random, 2) == 0) {
        const qsizetype at = input.indexOf(anchors[fuzzBelow(random, anchors.size())]);
        if (at >= 0)
            return std::min(input.size(), at + fuzzBelow(random, 0x60));
    }
    const qsizetype span = fuzzBelow(random, 4) == 0 ? input.size() : std::min<qsizetype>(input.size(), 4096);
    return fuzzBelow(random, span + 1);
}

// One to four edits of a seed, most of them in place (offsets in a binary
// format stay valid): a byte set to a token's first character, to 0x00 or
// 0xFF, to any value or with one bit flipped; else a token inserted, a run
// deleted, the rest cut off, or a piece of a seed inserted up to eight times.
inline QByteArray fuzzMutate(QByteArray input, const std::vector<QByteArray> &seeds,
                             const QList<QByteArray> &tokens, const QList<QByteArray> &anchors,
                             std::mt19937 &random)
{
    const auto below = [&random](qsizetype bound) { return fuzzBelow(random, bound); };
    for (int edits = 1 + int(below(4)); edits > 0; --edits) {
        const qsizetype at = fuzzPosition(input, anchors, random);
        const char bytes[] = {tokens[below(tokens.size())].front(), char(0), char(0xFF), char(below(256)),
                              at < input.size() ? char(input[at] ^ (1 << below(8))) : char(0)};
        const QByteArray &seed = seeds[std::size_t(below(qsizetype(seeds.size())))];
        switch (below(8)) {
        case 5:
            input.insert(at, tokens[below(tokens.size())]);
            break;
        case 6:
            input.remove(at, below(4) ? below(64) : input.size());
            break;
        case 7:
            input.insert(at, seed.mid(below(seed.size() + 1), below(200)).repeated(1 + below(8)));
            break;
        default:
            if (at < input.size())
                input[at] = bytes[below(5)];
        }
    }
    return input;
}

// Every seed, then `MUTATIONS` changes of them made with these tokens (no
// empty one) and anchors.
inline int runFuzzDriver(int argc, char **argv, const QList<QByteArray> &tokens,
                         const QList<QByteArray> &anchors = {})
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s MUTATIONS SEED...\n", argv[0]);
        return 2;
    }
    const long mutations = std::atol(argv[1]);
    std::vector<QByteArray> seeds;
    for (int i = 2; i < argc; ++i)
        loadSeeds(QString::fromLocal8Bit(argv[i]), seeds);
    if (seeds.empty()) {
        std::fputs("no seeds\n", stderr);
        return 1;
    }
    const auto run = [](const QByteArray &input) {
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(input.constData()),
                               static_cast<std::size_t>(input.size()));
    };
    for (const QByteArray &seed : seeds)
        run(seed);
    std::mt19937 random(1450);
    for (long i = 0; i < mutations; ++i)
        run(fuzzMutate(seeds[random() % seeds.size()], seeds, tokens, anchors, random));
    std::printf("%zu seeds and %ld mutations read without fault\n", seeds.size(), mutations);
    return 0;
}

} // namespace romwright::test
