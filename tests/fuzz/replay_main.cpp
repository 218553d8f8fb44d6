// fuzz_replay TARGET FILE...: runs inputs through one fuzz target in an ordinary build, for
// tools that cannot run the sanitizers' programs (valgrind, a debugger).
#include "fuzz/fuzz_target.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs("usage: fuzz_replay TARGET FILE...\n", stderr);
        return 1;
    }
    auto target = tincrates::fuzz::targets().find(argv[1]);
    if (target == tincrates::fuzz::targets().end()) {
        std::fprintf(stderr, "fuzz_replay: no target %s\n", argv[1]);
        return 1;
    }
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "fuzz_replay: cannot read %s\n", argv[i]);
            return 1;
        }
        std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        target->second(bytes);
    }
    return 0;
}
