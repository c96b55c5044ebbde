// Runs the help file's fuzz target without libFuzzer (any compiler): every
// seed as it is, then a bounded number of seeded mutations of them.
//   help_file_fuzz_driver MUTATIONS SEED...   (a seed is a file or a folder of them)
// Compiled help files are changed mostly where chmlib reads its structures
// (headers, directory pages, compression control data), sitemaps by adding,
// dropping and repeating tags.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace {

void run(const QByteArray &input)
{
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(input.constData()),
                           static_cast<std::size_t>(input.size()));
}

void load(const QString &path, std::vector<QByteArray> &seeds)
{
    if (QFileInfo(path).isDir()) {
        const QDir dir(path);
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name))
            load(dir.filePath(name), seeds);
        return;
    }
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        seeds.push_back(file.readAll());
}

class Mutator {
public:
    explicit Mutator(std::uint32_t seed) : m_random(seed) {}

    QByteArray operator()(QByteArray input)
    {
        const bool archive = input.startsWith("ITSF");
        const int edits = 1 + int(below(4));
        for (int e = 0; e < edits && !input.isEmpty(); ++e)
            archive ? editArchive(input) : editSitemap(input);
        return input;
    }

private:
    qsizetype below(qsizetype bound) { return bound > 0 ? qsizetype(m_random() % std::uint64_t(bound)) : 0; }

    // Near a structure's tag half the time, in the first 4 KB a quarter of it.
    qsizetype archivePosition(const QByteArray &input)
    {
        static const char *const kTags[] = {"ITSF", "ITSP", "PMGL", "PMGI", "LZXC"};
        if (below(2) == 0) {
            const qsizetype at = input.indexOf(kTags[below(5)]);
            if (at >= 0)
                return std::min(input.size() - 1, at + below(0x60));
        }
        return below(below(4) == 0 ? input.size() : std::min<qsizetype>(input.size(), 4096));
    }

    void editArchive(QByteArray &input)
    {
        const qsizetype at = archivePosition(input);
        switch (below(8)) {
        case 0: input[at] = char(0); break;
        case 1: input[at] = char(0xFF); break;
        case 2: input[at] = char(input[at] ^ (1 << below(8))); break;
        case 3: input.truncate(below(input.size())); break;
        default: input[at] = char(below(256)); break;
        }
    }

    void editSitemap(QByteArray &input)
    {
        static const char *const kPieces[] = {"<UL>", "</UL>", "<LI>", "<OBJECT type=\"text/sitemap\">", "</OBJECT>",
                                              "<param name=\"Name\" value=\"", "<param name=\"Local\" value=\"",
                                              "\">", "&#x", ";", "\"", "<", ">"};
        const qsizetype at = below(input.size() + 1);
        switch (below(3)) {
        case 0: input.insert(at, kPieces[below(std::size(kPieces))]); break;
        case 1: input.remove(at, below(64)); break;
        default: input.insert(at, input.mid(below(input.size()), below(200)).repeated(1 + below(8))); break;
        }
    }

    std::mt19937_64 m_random;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fputs("usage: help_file_fuzz_driver MUTATIONS SEED...\n", stderr);
        return 2;
    }
    const long mutations = std::atol(argv[1]);
    std::vector<QByteArray> seeds;
    for (int i = 2; i < argc; ++i)
        load(QString::fromLocal8Bit(argv[i]), seeds);
    if (seeds.empty()) {
        std::fputs("no seeds\n", stderr);
        return 1;
    }
    for (const QByteArray &seed : seeds)
        run(seed);
    Mutator mutate(750);
    std::mt19937 pick(3650);
    for (long i = 0; i < mutations; ++i)
        run(mutate(seeds[pick() % seeds.size()]));
    std::printf("%zu seeds and %ld mutations read without fault\n", seeds.size(), mutations);
    return 0;
}
