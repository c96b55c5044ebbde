// The help file's fuzz target through the shared driver:
//   help_file_fuzz_driver MUTATIONS SEED...
// Compiled help files are changed mostly where chmlib reads its structures
// (headers, directory pages, compression control data), sitemaps by adding,
// dropping and repeating tags.

#include "support/FuzzDriver.h"

int main(int argc, char **argv)
{
    const QList<QByteArray> tags =
        QByteArray(R"(<UL>|</UL>|<LI>|<OBJECT type="text/sitemap">|</OBJECT>|<param name="Name" value="|)"
                   R"(<param name="Local" value="|">|&#x|;|"|<|>)")
            .split('|');
    return romwright::test::runFuzzDriver(argc, argv, tags, {"ITSF", "ITSP", "PMGL", "PMGI", "LZXC"});
}
