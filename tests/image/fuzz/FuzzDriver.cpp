// Runs the fuzz target without libFuzzer (any compiler): every file of the
// corpus as it is, then a bounded number of seeded mutations of them.
//   srecord_fuzz_driver CORPUS_DIR [MUTATIONS]

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace {

void run(const QByteArray &input)
{
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(input.constData()),
                           static_cast<std::size_t>(input.size()));
}

// Flips, inserts, deletes and splices: characters that matter to the reader
// (digits, marks, line ends) are picked more often than others.
QByteArray mutate(QByteArray input, const std::vector<QByteArray> &corpus, std::mt19937 &random)
{
    static const QByteArray kInteresting = "S0123456789ABCDEFabcdef\r\n \tSZ-";
    auto below = [&random](std::size_t bound) { return bound ? random() % bound : 0; };
    const int edits = 1 + static_cast<int>(below(4));
    for (int e = 0; e < edits; ++e) {
        const auto at = static_cast<qsizetype>(below(static_cast<std::size_t>(input.size()) + 1));
        const char c = below(4) ? kInteresting[static_cast<qsizetype>(below(kInteresting.size()))]
                                : static_cast<char>(below(256));
        switch (below(4)) {
        case 0:
            if (at < input.size())
                input[at] = c;
            break;
        case 1:
            input.insert(at, c);
            break;
        case 2:
            input.remove(at, static_cast<qsizetype>(below(8)));
            break;
        default: {
            const QByteArray &other = corpus[below(corpus.size())];
            const auto from = static_cast<qsizetype>(below(static_cast<std::size_t>(other.size()) + 1));
            input.insert(at, other.mid(from, static_cast<qsizetype>(below(80))));
        }
        }
    }
    return input;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fputs("usage: srecord_fuzz_driver CORPUS_DIR [MUTATIONS]\n", stderr);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    std::vector<QByteArray> corpus;
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            corpus.push_back(file.readAll());
    }
    if (corpus.empty()) {
        std::fprintf(stderr, "no corpus in %s\n", argv[1]);
        return 1;
    }
    const long mutations = argc > 2 ? std::atol(argv[2]) : 20000;
    for (const QByteArray &input : corpus)
        run(input);
    std::mt19937 random(1450);
    for (long i = 0; i < mutations; ++i)
        run(mutate(corpus[random() % corpus.size()], corpus, random));
    std::printf("%zu corpus files and %ld mutations read without fault\n", corpus.size(), mutations);
    return 0;
}
