// Writes the fuzzers' seed inputs: files from the test AVI writer in its variants, each with
// the two control bytes the analysis target reads from the end, rows of field values for the
// number-form target, and files of structure at scale for the walk and the sample (nesting
// hundreds of thousands deep, tens of thousands of RIFFs, indexes of a hundred thousand entries,
// a super index of 240,000), too large to keep in the tree. Run it as `write_fuzz_seeds FOLDER`:
// it fills FOLDER/analysis, FOLDER/number_forms and FOLDER/walk.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <limits>
#include <string>
#include <vector>

#include "support/avi_writer.h"

namespace {

namespace fs = std::filesystem;
using namespace strovanik::testing;

// The analysis target's control bytes: which source slicing and failure, which size and name.
Bytes withControl(Bytes file, std::uint8_t sourceControl = 0, std::uint8_t control = 0) {
    file.push_back(sourceControl);
    file.push_back(control);
    return file;
}

Bytes le64(std::int64_t value) {
    Bytes out(8);
    std::memcpy(out.data(), &value, 8);
    return out;
}

Bytes float64(double value) {
    Bytes out(8);
    std::memcpy(out.data(), &value, 8);
    return out;
}

struct NumberRow {
    std::int64_t whole = 0;
    double real = 0;
    std::int32_t microSecPerFrame = 40'000;
    std::int32_t totalFrames = 250;
    std::int64_t fileSize = 0;
    std::int32_t riffSize = 0;
    std::int32_t width = 320;
    std::int32_t height = 240;
    std::int32_t avgBytesPerSec = 16'000;
    std::int16_t blockAlign = 1152;
    std::int16_t channels = 2;
    std::string pattern;
};

Bytes numberInput(const NumberRow& r) {
    return concat({le64(r.whole), float64(r.real), le32(r.microSecPerFrame), le32(r.totalFrames),
                   le64(r.fileSize), le32(r.riffSize), le32(r.width), le32(r.height),
                   le32(r.avgBytesPerSec), le16(r.blockAlign), le16(r.channels), text(r.pattern)});
}

std::vector<std::pair<std::string, Bytes>> analysisSeeds() {
    std::vector<std::pair<std::string, Bytes>> seeds;
    auto add = [&seeds](std::string name, Bytes bytes) {
        seeds.emplace_back(std::move(name), std::move(bytes));
    };

    const AviPlan plain;
    add("plain", withControl(buildAvi(plain)));

    AviPlan odml;
    odml.makeInfo = "Made by a test writer, version 1.0";
    add("odml_make_info", withControl(buildAvi(odml)));

    AviPlan editing;
    editing.makeInfo = std::string(35, ' ');
    add("odml_spaces", withControl(buildAvi(editing)));

    AviPlan korean;
    korean.makeInfo = "\xC7\xD1\xB1\xDB \xC6\xED\xC1\xFD\xB1\xE2";  // CP949 text
    korean.video->handler = "divx";
    korean.video->compression = "DX50";
    add("odml_cp949", withControl(buildAvi(korean), 0, 0x20));

    AviPlan lower;
    lower.lowerCase = true;
    lower.makeInfo = "lower-case lists";
    add("lower_case", withControl(buildAvi(lower)));

    AviPlan twoSounds;
    twoSounds.audio = {AudioPlan{}, AudioPlan{0x2000, 6, 48'000, 48'000, 1536, ""}};
    add("two_sounds", withControl(buildAvi(twoSounds)));

    AviPlan threeSounds = twoSounds;
    threeSounds.audio.push_back(AudioPlan{0x0001, 1, 22'050, 44'100, 2, ""});
    add("three_sounds", withControl(buildAvi(threeSounds)));

    AviPlan silent;
    silent.audio.clear();
    add("silent", withControl(buildAvi(silent)));

    AviPlan nothing;
    nothing.video.reset();
    nothing.audio.clear();
    add("no_streams", withControl(buildAvi(nothing)));

    AviPlan overflow;
    overflow.main.microSecPerFrame = 2'000'000'000;
    overflow.main.totalFrames = 2'000'000'000;
    add("run_time_overflow", withControl(buildAvi(overflow)));

    AviPlan stillFrame;
    stillFrame.main.microSecPerFrame = 0;
    add("zero_frame_time", withControl(buildAvi(stillFrame)));

    AviPlan flat;
    flat.main.height = 0;
    flat.main.totalFrames = 1;
    add("zero_height", withControl(buildAvi(flat), 0, 0x40));

    AviPlan hours;
    hours.main.totalFrames = 1'000'000;
    hours.riffSize = -5;
    add("hours_negative_riff", withControl(buildAvi(hours)));

    // The odml list followed by another list before the JUNK chunk, and one with an absurd size.
    const Bytes odmlThenList =
        concat({list("odml", {chunk("dmlh", Bytes(8, 0))}),
                list("INFO", {chunk("ISFT", text("x"))}), chunk("JUNK", text("after a list"))});
    add("odml_list_junk",
        withControl(riff("AVI ", {list("hdrl", {chunk("avih", mainHeaderData({})), odmlThenList}),
                                  list("movi", {})})));
    add("odml_absurd_size",
        withControl(riff(
            "AVI ", {concat({code("LIST"), le32(0x7FFFFFF0), code("odml")}), list("movi", {})})));
    add("odml_negative_size",
        withControl(
            riff("AVI ", {concat({code("LIST"), le32(-100), code("odml")}), list("movi", {})})));

    // Header lists that straddle the end of the scan's first 64 KiB block.
    const Bytes filler = chunk("JUNK", Bytes(65'536 - 20 - 6, 0));
    add("block_edge",
        withControl(riff("AVI ", {filler,
                                  list("hdrl", {chunk("avih", mainHeaderData({})),
                                                videoStreamList({}), audioStreamList({})}),
                                  list("movi", {})})));

    // A file that ends inside a stream record.
    Bytes cut = buildAvi(plain);
    cut.resize(150);
    add("cut_in_record", withControl(cut));

    // Every kind that is refused, and files too short to tell.
    add("ogg", withControl(concat({text("OggS"), Bytes{0, 2}, Bytes(20, 0)})));
    add("asf",
        withControl(concat({Bytes{0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11}, Bytes(16, 0)})));
    add("mpeg_program", withControl(concat({Bytes{0x00, 0x00, 0x01, 0xBA}, Bytes(20, 0x44)})));
    add("vcd_dat", withControl(riff("CDXA", {chunk("fmt ", Bytes(16, 0))})));
    add("wave", withControl(riff("WAVE", {chunk("fmt ", Bytes(16, 0))})));
    add("riff_short", withControl(concat({text("RIFF"), le32(16), text("AV")})));
    add("empty", withControl({}));

    // The same file told other sizes, names and sources.
    add("size_beyond_4gib", withControl(buildAvi(odml), 0, 0x01 | (3 << 2)));
    add("size_from_bytes",
        withControl(concat({buildAvi(plain), le64(10 * 1024 * 1024 + 5)}), 0, 0x02));
    add("size_zero_korean_name", withControl(buildAvi(plain), 0, 0x03 | 0x20));
    add("sliced_reads", withControl(buildAvi(odml), 0x03, 0x00));
    add("failing_scan", withControl(buildAvi(odml), 0x22, 0x00));
    add("failing_recognition", withControl(buildAvi(plain), 0x10, 0x00));
    return seeds;
}

std::vector<std::pair<std::string, Bytes>> numberSeeds() {
    std::vector<std::pair<std::string, Bytes>> seeds;
    auto add = [&seeds](std::string name, const NumberRow& row) {
        seeds.emplace_back(std::move(name), numberInput(row));
    };
    add("typical", {1'234'567, 23.976, 41'708, 1000, 26'754, 26'746, 160, 120, 4000, 1152, 2, ""});
    add("ratio_half", {1070, 2.675, 40'000, 250, 10 * 1024 * 1024, 0, 1070, 400, 0, 0, 1, "0.00"});
    add("rounding_half",
        {-1, 1.125, 33'367, 90'000, 100 * 1024 * 1024 - 1, -1, 0, 0, -8, 1, 6, "#,##0.0#"});
    add("frame_rate", {0, 1'000'000.0 / 41'708, 0, 0, 0, 0, 1, 0, 0, 0, 0, "0.000"});
    add("extremes",
        {std::numeric_limits<std::int64_t>::min(), -0.0, std::numeric_limits<std::int32_t>::min(),
         std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int64_t>::max(),
         std::numeric_limits<std::int32_t>::min(), -1, -1, std::numeric_limits<std::int32_t>::max(),
         -1152, -32768, "###,###,###"});
    add("not_a_number", {0, std::nan(""), 1, -1, 5LL << 32, 7, 3, 0, 0, 0, 0, "0.00 "});
    add("infinite", {0, -std::numeric_limits<double>::infinity(), 0, 0, 0, 0, 0, 0, 0, 0, 0, "#"});
    add("tiny", {9, 4.9406564584124654e-324, 1, 1, 1, 1, 1, 1, 1, 1, 1, "0.0000000000"});
    add("huge", {999'999'999'999'999, 1.7976931348623157e308, 999'999, 999'999, 1LL << 40, 1, 1, 3,
                 1, 1, 1, "##,##0"});
    add("band_edges", {99'999, 99.95, 40'000, 53'687, 10'485'759, 0, 0, 0, 0, 0, 0, "00.0 "});
    add("own_pattern", {42, 0.5, 0, 0, 104'857'600, 0, 0, 0, 0, 0, 0, "x #,##0.00 y 0"});
    return seeds;
}

// A header list with one video stream of `frames` frames, and with `superIndex` (the data of
// an indx chunk) in its stream list when given.
Bytes videoHeaders(std::int32_t frames, const Bytes& superIndex = {}) {
    const Bytes strh = concat({code("vids"), code("XVID"), Bytes(12, 0), le32(1), le32(25), le32(0),
                               le32(frames), Bytes(20, 0)});
    const Bytes strl = superIndex.empty()
                           ? list("strl", {chunk("strh", strh), chunk("strf", Bytes(40, 0))})
                           : list("strl", {chunk("strh", strh), chunk("strf", Bytes(40, 0)),
                                           chunk("indx", superIndex)});
    MainHeaderPlan main;
    main.totalFrames = frames;
    main.streams = 1;
    return list("hdrl", {chunk("avih", mainHeaderData(main)), strl});
}

Bytes repeated(const Bytes& unit, std::size_t times) {
    Bytes out;
    out.reserve(unit.size() * times);
    for (std::size_t i = 0; i < times; ++i) out.insert(out.end(), unit.begin(), unit.end());
    return out;
}

Bytes movieList(const Bytes& chunks) {
    return concat(
        {code("LIST"), le32(static_cast<std::int32_t>(chunks.size() + 4)), code("movi"), chunks});
}

// `count` frames in a movie list that ends in their standard index, named by the stream's super
// index; with sub-type 1 a field index, whose entries also locate each frame's second field.
Bytes indexedByOdml(std::size_t count, std::uint8_t subType) {
    const Bytes frame = chunk("00dc", Bytes(16, 0x5A));
    const Bytes superIndex =
        concat({le16(4), Bytes{subType, 0}, le32(1), code("00dc"), Bytes(12, 0), Bytes(16, 0)});
    const Bytes headers = videoHeaders(static_cast<std::int32_t>(count), superIndex);
    const std::size_t firstFrame = 12 + headers.size() + 12;
    const std::size_t indexAt = firstFrame + count * frame.size();
    Bytes standard =
        concat({le16(subType == 0 ? 2 : 3), Bytes{subType, 1},
                le32(static_cast<std::int32_t>(count)), code("00dc"), le32(0), le32(0), le32(0)});
    for (std::size_t i = 0; i < count; ++i) {
        const auto dataAt = static_cast<std::int32_t>(firstFrame + i * frame.size() + 8);
        const Bytes e = subType == 0 ? concat({le32(dataAt), le32(16)})
                                     : concat({le32(dataAt), le32(16), le32(dataAt + 8)});
        standard.insert(standard.end(), e.begin(), e.end());
    }
    Bytes file = riff(
        "AVI ", {headers, movieList(concat({repeated(frame, count), chunk("ix00", standard)}))});
    // The super index's one entry: where the standard index's chunk starts.
    const std::size_t superAt = 12 + headers.size() - superIndex.size();
    const Bytes offset = concat({le32(static_cast<std::int32_t>(indexAt)), le32(0)});
    std::copy(offset.begin(), offset.end(),
              file.begin() + static_cast<std::ptrdiff_t>(superAt + 24));
    return file;
}

std::vector<std::pair<std::string, Bytes>> walkSeeds() {
    std::vector<std::pair<std::string, Bytes>> seeds;
    const Bytes frame = chunk("00dc", Bytes(16, 0x5A));
    const Bytes idx1Entry = concat({code("00dc"), le32(0x10), le32(4), le32(16)});

    // One frame at the bottom of `rec ` lists nested deep, in an AVI and an AVIX movie list.
    for (const std::size_t depth :
         {std::size_t{2'000}, std::size_t{20'000}, std::size_t{300'000}}) {
        const Bytes nested = nestedLists("rec ", depth, frame);
        seeds.emplace_back("deep_rec_avi_" + std::to_string(depth),
                           riff("AVI ", {videoHeaders(1), movieList(nested)}));
        seeds.emplace_back(
            "deep_rec_avix_" + std::to_string(depth),
            concat({riff("AVI ", {videoHeaders(1), movieList(frame), chunk("idx1", idx1Entry)}),
                    riff("AVIX", {movieList(nested)})}));
    }
    // Interleaved files: a `rec ` list for every frame and its sound.
    const Bytes pair = list("rec ", {frame, chunk("01wb", Bytes(8, 0x33))});
    seeds.emplace_back("rec_interleaved",
                       riff("AVI ", {videoHeaders(20'000), movieList(repeated(pair, 20'000))}));
    // Thousands of RIFFs, each with its own movie list.
    Bytes segments = riff("AVI ", {videoHeaders(3'001), movieList(frame)});
    const Bytes segment = riff("AVIX", {movieList(concat({frame, chunk("01wb", Bytes(4, 1))}))});
    segments = concat({segments, repeated(segment, 3'000)});
    seeds.emplace_back("many_segments", segments);

    // idx1 of 60,000 entries, each naming the frame before it.
    {
        const std::size_t count = 60'000;
        Bytes entries;
        entries.reserve(count * 16);
        for (std::size_t i = 0; i < count; ++i) {
            const Bytes e =
                concat({code("00dc"), le32(0x10),
                        le32(static_cast<std::int32_t>(4 + i * frame.size())), le32(16)});
            entries.insert(entries.end(), e.begin(), e.end());
        }
        seeds.emplace_back(
            "long_idx1", riff("AVI ", {videoHeaders(static_cast<std::int32_t>(count)),
                                       movieList(repeated(frame, count)), chunk("idx1", entries)}));
    }
    // An OpenDML standard index of 100,000 entries, named by the stream's super index, and a
    // field index of 50 (12 bytes an entry, the second field's offset last).
    seeds.emplace_back("long_odml_index", indexedByOdml(100'000, 0));
    seeds.emplace_back("field_index", indexedByOdml(50, 1));
    // A super index naming 240,000 places, all distinct and none a standard index: more than
    // the walk remembers having read.
    {
        const std::size_t count = 240'000;
        Bytes superIndex = concat({le16(4), Bytes{0, 0}, le32(static_cast<std::int32_t>(count)),
                                   code("00dc"), Bytes(12, 0)});
        superIndex.resize(24 + 16 * count, 0);
        for (std::size_t i = 0; i < count; ++i) {
            const Bytes offset = le32(static_cast<std::int32_t>(1'000 + 16 * i));
            std::copy(offset.begin(), offset.end(),
                      superIndex.begin() + static_cast<std::ptrdiff_t>(24 + 16 * i));
        }
        seeds.emplace_back("long_super_index",
                           riff("AVI ", {videoHeaders(1, superIndex), movieList(frame)}));
    }
    // More RIFFs than the walk keeps, each with an empty movie list.
    seeds.emplace_back("more_segments_than_kept",
                       concat({riff("AVI ", {videoHeaders(1), movieList(frame)}),
                               repeated(riff("AVIX", {movieList({})}), 70'000)}));
    return seeds;
}

bool writeAll(const fs::path& folder, const std::vector<std::pair<std::string, Bytes>>& seeds) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        std::cerr << "write_fuzz_seeds: cannot make " << folder << ": " << error.message() << "\n";
        return false;
    }
    for (const auto& [name, bytes] : seeds) writeFile(folder / ("seed_" + name), bytes);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: write_fuzz_seeds FOLDER\n";
        return 2;
    }
    const fs::path folder = argv[1];
    try {
        if (!writeAll(folder / "analysis", analysisSeeds())) return 1;
        if (!writeAll(folder / "number_forms", numberSeeds())) return 1;
        if (!writeAll(folder / "walk", walkSeeds())) return 1;
    } catch (const std::exception& error) {
        std::cerr << "write_fuzz_seeds: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
