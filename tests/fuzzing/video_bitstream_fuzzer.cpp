// libFuzzer target: a video stream's identity, from first chunks of arbitrary bytes.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzzing/video_bitstream_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string broken = strovanik::fuzzing::identifyVideoBytes(data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "broken rule: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
