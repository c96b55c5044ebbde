// The help file's fuzz target through the shared driver:
//   help_file_fuzz_driver MUTATIONS SEED...
// Compiled help files are changed mostly where chmlib reads its structures
// (headers, directory pages, compression control data), sitemaps by adding,
// dropping and repeating tags.

#include "support/FuzzDriver.h"

#include <algorithm>

namespace {

const auto below = &romwright::test::fuzzBelow;

// Near a structure's tag half the time, in the first 4 KB a quarter of it.
qsizetype archivePosition(const QByteArray &input, std::mt19937 &random)
{
    static const char *const kTags[] = {"ITSF", "ITSP", "PMGL", "PMGI", "LZXC"};
    if (below(random, 2) == 0) {
        const qsizetype at = input.indexOf(kTags[below(random, 5)]);
        if (at >= 0)
            return std::min(input.size() - 1, at + below(random, 0x60));
    }
    return below(random, below(random, 4) == 0 ? input.size() : std::min<qsizetype>(input.size(), 4096));
}

void editArchive(QByteArray &input, std::mt19937 &random)
{
    const qsizetype at = archivePosition(input, random);
    switch (below(random, 8)) {
    case 0:
        input[at] = char(0);
        break;
    case 1:
        input[at] = char(0xFF);
        break;
    case 2:
        input[at] = char(input[at] ^ (1 << below(random, 8)));
        break;
    case 3:
        input.truncate(below(random, input.size()));
        break;
    default:
        input[at] = char(below(random, 256));
        break;
    }
}

void editSitemap(QByteArray &input, std::mt19937 &random)
{
    static const QList<QByteArray> kPieces =
        QByteArray(R"(<UL>|</UL>|<LI>|<OBJECT type="text/sitemap">|</OBJECT>|<param name="Name" value="|)"
                   R"(<param name="Local" value="|">|&#x|;|"|<|>)")
            .split('|');
    const qsizetype at = below(random, input.size() + 1);
    switch (below(random, 3)) {
    case 0:
        input.insert(at, kPieces[below(random, kPieces.size())]);
        break;
    case 1:
        input.remove(at, below(random, 64));
        break;
    default:
        input.insert(
            at, input.mid(below(random, input.size()), below(random, 200)).repeated(1 + below(random, 8)));
        break;
    }
}

QByteArray mutate(QByteArray input, const std::vector<QByteArray> &, std::mt19937 &random)
{
    const bool archive = input.startsWith("ITSF");
    const int edits = 1 + int(below(random, 4));
    for (int e = 0; e < edits && !input.isEmpty(); ++e)
        archive ? editArchive(input, random) : editSitemap(input, random);
    return input;
}

} // namespace

int main(int argc, char **argv)
{
    return romwright::test::runFuzzDriver(argc, argv, mutate);
}
