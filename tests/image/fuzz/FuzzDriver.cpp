// The S-record reader's fuzz target through the shared driver:
//   srecord_fuzz_driver MUTATIONS CORPUS_DIR
// The tokens are what matters to the reader: digits, marks, line ends.

#include "support/FuzzDriver.h"

int main(int argc, char **argv)
{
    return romwright::test::runFuzzDriver(
        argc, argv,
        QByteArray("S|0|1|2|3|4|5|6|7|8|9|A|B|C|D|E|F|a|f|\r|\n|\r\n| |\t|Z|-|\x1A|S9030000FC").split('|'));
}
