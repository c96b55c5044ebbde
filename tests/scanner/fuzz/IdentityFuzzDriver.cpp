// The identity question's fuzz target through the shared driver:
//   identity_fuzz_driver MUTATIONS CORPUS_DIR
// The tokens are the bytes a scanner or a line can bring: the answers'
// letters, line ends, greetings, NUL and bytes with the top bit set.

#include "support/FuzzDriver.h"

int main(int argc, char **argv)
{
    return romwright::test::runFuzzDriver(
        argc, argv,
        QByteArray("H|L|V|J|W|X|O|K| |1|4|5|0|7|.|2|k|\r|\n|Q|A|Z|p|\x80|\x98|\xE6|\x01|\x03").split('|'));
}
