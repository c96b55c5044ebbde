#pragma once
// Runs a fuzz target without libFuzzer (any compiler): every seed as it is,
// then a bounded number of seeded mutations of them.
//   DRIVER MUTATIONS SEED...   (a seed is a file or a folder of them)

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

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

// mutate(seed, all seeds, random) gives one changed input.
template <typename Mutate> int runFuzzDriver(int argc, char **argv, Mutate mutate)
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
        run(mutate(seeds[random() % seeds.size()], seeds, random));
    std::printf("%zu seeds and %ld mutations read without fault\n", seeds.size(), mutations);
    return 0;
}

} // namespace romwright::test
