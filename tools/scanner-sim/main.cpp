// romwright-sim: a scanner on a pseudo-terminal, for tests, benchmarks and the demo.
#include "SimOptions.h"
#include "Simulator.h"

#include <cstdio>

int main(int argc, char **argv)
{
    using namespace romwright::sim;
    const ParsedOptions parsed = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) {
        std::fputs(parsed.message.c_str(), parsed.help ? stdout : stderr);
        if (!parsed.help)
            std::fprintf(stderr, "\n%s", usage().c_str());
        return parsed.help ? 0 : 2;
    }
    Simulator simulator(*parsed.options);
    return simulator.run();
}
