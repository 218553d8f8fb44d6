// libFuzzer's entry for a program that holds one fuzz target.
#include "fuzz/fuzz_target.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const tincrates::fuzz::Target& target = [] () -> const tincrates::fuzz::Target& {
        auto& all = tincrates::fuzz::targets();
        if (all.size() != 1) {
            std::fprintf(stderr, "a fuzz program must hold exactly one target\n");
            std::abort();
        }
        return all.begin()->second;
    }();
    target({data, size});
    return 0;
}
