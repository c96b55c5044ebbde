// The S-record reader's fuzz target through the shared driver:
//   srecord_fuzz_driver MUTATIONS CORPUS_DIR

#include "support/FuzzDriver.h"

namespace {

// Flips, inserts, deletes and splices: characters that matter to the reader
// (digits, marks, line ends) are picked more often than others.
QByteArray mutate(QByteArray input, const std::vector<QByteArray> &corpus, std::mt19937 &random)
{
    static const QByteArray kInteresting = "S0123456789ABCDEFabcdef\r\n \tSZ-";
    const auto below = [&random](qsizetype bound) { return romwright::test::fuzzBelow(random, bound); };
    const int edits = 1 + int(below(4));
    for (int e = 0; e < edits; ++e) {
        const qsizetype at = below(input.size() + 1);
        const char c = below(4) ? kInteresting[below(kInteresting.size())] : char(below(256));
        switch (below(4)) {
        case 0:
            if (at < input.size())
                input[at] = c;
            break;
        case 1:
            input.insert(at, c);
            break;
        case 2:
            input.remove(at, below(8));
            break;
        default: {
            const QByteArray &other = corpus[std::size_t(below(qsizetype(corpus.size())))];
            input.insert(at, other.mid(below(other.size() + 1), below(80)));
        }
        }
    }
    return input;
}

} // namespace

int main(int argc, char **argv)
{
    return romwright::test::runFuzzDriver(argc, argv, mutate);
}
