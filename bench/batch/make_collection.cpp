// Writes a folder of small AVI files for the batch benchmark: COUNT files of a few KB each,
// laid out as AVI writers lay them out, with the mix of a real collection (one, two or no
// sound streams; a few whose report ends early; a few that are not AVI files at all).
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "support/avi_writer.h"

namespace {

using namespace strovanik::testing;

AviPlan planFor(int i) {
    AviPlan plan;
    plan.main.totalFrames = 250 + i % 5000;
    plan.main.width = 320 + 16 * (i % 40);
    plan.main.height = 240 + 16 * (i % 30);
    plan.movieBytes = static_cast<std::size_t>(1024 + (i * 7919) % 6000);
    if (i % 3 == 1) plan.audio = {};
    if (i % 7 == 2) plan.audio.push_back(AudioPlan{.formatTag = 0x2000, .channels = 6});
    if (i % 11 == 3) plan.makeInfo = "Collection maker 1.0" + std::string(15, ' ');
    if (i % 101 == 4) plan.main.height = 0;  // the picture ratio fails: an early end
    if (i % 13 == 5) plan.lowerCase = true;
    return plan;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: make_collection FOLDER COUNT\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const int count = std::atoi(argv[2]);
    std::filesystem::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        const std::string name =
            "film" + std::to_string(100000 + i) + (i % 9 == 0 ? ".AVI" : ".avi");
        if (i % 499 == 6) {
            writeFile(folder / name, concat({text("OggS"), Bytes(200, 0)}));
        } else {
            writeFile(folder / name, buildAvi(planFor(i)));
        }
    }
    return 0;
}
