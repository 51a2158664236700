// libFuzzer target: the repaired copy of arbitrary bytes, refused with a reason or complete.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzzing/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string broken = strovanik::fuzzing::repairBytes(data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "broken rule: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
