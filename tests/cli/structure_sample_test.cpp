#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_run.h"
#include "container/file_source.h"
#include "container/text_encoding.h"
#include "report/inspection.h"
#include "support/avi_writer.h"
#include "support/plain_walk.h"

// --structure-sample OUT FILE: every byte outside the data of the movie chunks as in FILE,
// the data zero but for the start codes and configuration units of start-code video and, in
// each stream's first chunks, a few header bytes a chunk; checked here by a walk and a
// start-code search of the test's own, by what the program says of FILE and of OUT, on real
// files of every format the program reads the frames of, cut and damaged ones, and on the
// refusals.
namespace strovanik::testing {
namespace {

namespace fs = std::filesystem;

std::string utf8(const fs::path& path) { return container::pathToUtf8(path); }

// What the sample of `file` must hold: the file with the data of its movie chunks made zero,
// but that video chunks (00dc, 00db) of start-code video keep their start codes, and their
// configuration units whole (`configuration` tells them by the unit's type byte).
Bytes expectedSample(const fs::path& file, bool (*configuration)(std::uint8_t)) {
    const Bytes source = readFile(file);
    Bytes expected = source;
    const auto size = static_cast<std::int64_t>(source.size());
    walkMovieChunks(file, [&](std::string_view id, std::int64_t dataAt, std::int64_t length) {
        if (!std::isdigit(id[0]) || !std::isdigit(id[1])) return;
        const auto begin = static_cast<std::size_t>(dataAt);
        const auto end = static_cast<std::size_t>(std::min(dataAt + length, size));
        const bool video = id[2] == 'd' && configuration != nullptr;
        bool keeping = false;
        for (std::size_t i = begin; i < end; ++i) {
            if (video && i + 2 < end && source[i] == 0 && source[i + 1] == 0 &&
                source[i + 2] == 1) {
                keeping = i + 3 < end && configuration(source[i + 3]);
                i += 2;  // the start code itself stays as it is
                continue;
            }
            if (!keeping) expected[i] = 0;
        }
    });
    return expected;
}

// An AVI file whose movie list holds `count` chunks of `size` bytes, video and sound in turn.
Bytes aviWithMovieChunks(int count, std::size_t size) {
    Bytes chunks;
    for (int i = 0; i < count; ++i) {
        const Bytes c =
            chunk(i % 2 == 0 ? "00dc" : "01wb", Bytes(size, static_cast<std::uint8_t>(0x5A + i)));
        chunks.insert(chunks.end(), c.begin(), c.end());
    }
    const Bytes movi = concat(
        {text("LIST"), le32(static_cast<std::int32_t>(chunks.size() + 4)), text("movi"), chunks});
    const Bytes hdrl =
        list("hdrl", {chunk("avih", mainHeaderData({})), videoStreamList({}), audioStreamList({})});
    return riff("AVI ", {hdrl, movi});
}

#ifndef _WIN32
bool h264Configuration(std::uint8_t type) {
    const int nal = type & 0x1F;
    return nal == 6 || nal == 7 || nal == 8;
}

bool mpeg4Configuration(std::uint8_t type) {
    return type <= 0x2F || (type >= 0xB0 && type <= 0xB3) || type == 0xB5;
}

// `text` with every `path` in it, and every name of the file, as FILE.
std::string withoutPath(std::string text, const std::string& path) {
    for (const std::string& name : {path, utf8(container::pathFromUtf8(path).filename())}) {
        for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name, at)) {
            text.replace(at, name.size(), "FILE");
        }
    }
    return text;
}

// Every report layout, the inspection in both languages and in JSON, as the command gives them.
std::vector<std::string> whatToolsSee(const std::string& path) {
    std::vector<std::string> seen;
    for (const char* layout : {"english", "korean", "brief"}) {
        seen.push_back(withoutPath(runInProcess({"--layout", layout, path}).out, path));
        seen.push_back(withoutPath(runInProcess({"--check", "--layout", layout, path}).out, path));
    }
    seen.push_back(withoutPath(runInProcess({"--check", "--format", "json", path}).out, path));
    return seen;
}

// What the sample keeps beyond the start codes and configuration units: only bytes of the file,
// in no more than a stream's 64 first chunks, in each at most 16 bytes or 2% of it, and beyond
// that no more than 1 KiB a stream (an encoder's tag). Returns how many such bytes there are.
std::int64_t expectHeadersWithinBounds(const fs::path& file, const Bytes& sample,
                                       bool (*configuration)(std::uint8_t)) {
    const Bytes source = readFile(file);
    const Bytes plain = expectedSample(file, configuration);
    EXPECT_EQ(sample.size(), source.size());
    if (sample.size() != source.size()) return 0;
    struct Kept {
        int chunks = 0;
        std::int64_t beyondChunkBounds = 0;
    };
    std::map<std::string, Kept> streams;  // by the stream number of the chunk ids
    std::int64_t total = 0;
    walkMovieChunks(file, [&](std::string_view id, std::int64_t dataAt, std::int64_t length) {
        const auto begin = static_cast<std::size_t>(dataAt);
        const auto end = std::min(static_cast<std::size_t>(dataAt + length), source.size());
        std::int64_t extra = 0;
        for (std::size_t i = begin; i < end; ++i) {
            if (sample[i] == plain[i]) continue;
            EXPECT_TRUE(plain[i] == 0 && sample[i] == source[i]) << "byte " << i;
            ++extra;
        }
        if (extra == 0) return;
        Kept& kept = streams[std::string(id.substr(0, 2))];
        ++kept.chunks;
        kept.beyondChunkBounds +=
            std::max<std::int64_t>(0, extra - std::max<std::int64_t>(16, length / 50));
        total += extra;
    });
    for (const auto& [stream, kept] : streams) {
        EXPECT_LE(kept.chunks, 64) << "stream " << stream;
        EXPECT_LE(kept.beyondChunkBounds, 1024) << "stream " << stream;
    }
    // Outside the movie chunks' data the sample is the file.
    std::int64_t differences = 0;
    for (std::size_t i = 0; i < sample.size(); ++i) differences += sample[i] != plain[i] ? 1 : 0;
    EXPECT_EQ(differences, total);
    return total;
}

std::string probeStreams(const fs::path& file) {
    return commandOutput(
        "ffprobe -v quiet -show_entries stream=index,codec_type,codec_name,width,"
        "height,r_frame_rate,sample_rate,channels -of compact " +
        shellQuoted(file.string()));
}

TEST(StructureSample, RealFilesKeepTheirStructureAndLoseTheirContent) {
    if (std::system("ffmpeg -version >/dev/null 2>&1 && ffprobe -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
    TempFolder folder;
    const std::string sources =
        " -f lavfi -i testsrc=size=96x64:rate=25 -f lavfi -i sine=sample_rate=44100 -t 1.2";
    const struct {
        const char* name;
        const char* options;
        bool (*configuration)(std::uint8_t);
    } makes[] = {
        {"h264.avi", " -c:v libx264 -preset ultrafast -c:a libmp3lame -b:a 64k", h264Configuration},
        {"mpeg4.avi", " -c:v mpeg4 -vtag XVID -c:a ac3", mpeg4Configuration},
        {"mjpeg.avi", " -c:v mjpeg -c:a pcm_s16le", nullptr},
    };
    for (const auto& make : makes) {
        SCOPED_TRACE(make.name);
        const fs::path file = folder / make.name;
        ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -y" + sources + make.options + " " +
                               shellQuoted(file.string()))
                                  .c_str()),
                  0);
        const Bytes bytes = readFile(file);
        const fs::path cut = folder / ("cut-" + std::string(make.name));
        writeFile(cut, Bytes(bytes.begin(),
                             bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() * 2 / 3)));

        for (const fs::path& source : {file, cut}) {
            const fs::path sample = folder / ("sample-" + source.filename().string());
            const CommandRun run = runInProcess({"--structure-sample", utf8(sample), utf8(source)});
            EXPECT_EQ(run.status, 0) << run.err;
            EXPECT_EQ(run.err, "");
            const Bytes got = readFile(sample);
            expectHeadersWithinBounds(source, got, make.configuration);
            EXPECT_NE(got, readFile(source)) << "the content must go";
            EXPECT_EQ(whatToolsSee(utf8(sample)), whatToolsSee(utf8(source)));
            if (source == file) {
                EXPECT_EQ(probeStreams(sample), probeStreams(source));
            }
        }
    }
}

// What the inspection reads of a file's video stream decides which units the sample keeps.
bool (*configurationOf(const report::Inspection& in))(std::uint8_t) {
    for (const report::StreamFacts& s : in.streams) {
        if (!s.video || !s.bitstream) continue;
        if (s.bitstream->format == "h264") return h264Configuration;
        if (s.bitstream->format == "mpeg4-visual") return mpeg4Configuration;
    }
    return nullptr;
}

// The sample's inspection is the file's, first frames and all, on the files of samples/ and on
// the files the bitstream fixtures are made from: ffmpeg's and mencoder's writers, and every
// format whose frames are read.
TEST(StructureSample, ItsInspectionIsTheFilesInspection) {
    if (std::system(
            "{ command -v ffmpeg && command -v mencoder && command -v lame; } >/dev/null") != 0)
        GTEST_SKIP() << "ffmpeg, mencoder and lame are not all installed";
    TempFolder folder;
    const fs::path fixtures = fs::path(STROVANIK_SOURCE_DIR) / "tests" / "bitstream";
    for (const char* script : {"make_video_fixtures.sh", "make_sound_fixtures.sh"}) {
        const std::string command = "AVI_ONLY=" + shellQuoted(utf8(folder / "files")) + " bash " +
                                    shellQuoted(utf8(fixtures / script)) + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << script;
    }
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder / "files")) {
        if (entry.path().extension() == ".avi") files.push_back(entry.path());
    }
    for (const auto& entry : fs::directory_iterator(fs::path(STROVANIK_SOURCE_DIR) / "samples")) {
        if (entry.path().extension() == ".avi") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());

    std::set<std::string> formats;  // "mp3 vbr", "mpeg4-visual packed", ...
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        const fs::path sample = folder / ("sample-" + file.filename().string());
        const CommandRun run = runInProcess({"--structure-sample", utf8(sample), utf8(file)});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(whatToolsSee(utf8(sample)), whatToolsSee(utf8(file)));

        auto opened = container::FileSource::open(file.string());
        ASSERT_TRUE(opened.source);
        const report::Inspection in = report::inspect(*opened.source);
        expectHeadersWithinBounds(file, readFile(sample), configurationOf(in));
        for (const report::StreamFacts& s : in.streams) {
            if (!s.bitstream) continue;
            const auto& b = *s.bitstream;
            formats.insert(b.format);
            if (b.packedBitstream) formats.insert(b.format + (*b.packedBitstream ? " packed" : ""));
            if (b.bitrateMode == bitstream::BitrateMode::Variable)
                formats.insert(b.format + " vbr");
        }
    }
    // The files hold every format the frames are read of, in the forms that read differently.
    const std::set<std::string> wanted = {"mpeg4-visual", "mpeg4-visual packed",
                                          "h264",         "mp3",
                                          "mp3 vbr",      "mp2",
                                          "ac3",          "eac3",
                                          "dts",          "aac",
                                          "pcm"};
    for (const std::string& format : wanted) EXPECT_EQ(formats.count(format), 1u) << format;
}

#endif

TEST(StructureSample, ADamagedMovieListKeepsWhatFollowsAndSaysWhere) {
    TempFolder folder;
    Bytes bytes = aviWithMovieChunks(6, 100);
    // The fourth chunk header of the movie list becomes bytes that are no chunk header: an id of
    // no text and a size past the list's end.
    std::vector<std::int64_t> headers;
    const fs::path whole = folder / "whole.avi";
    writeFile(whole, bytes);
    walkMovieChunks(whole, [&](std::string_view, std::int64_t dataAt, std::int64_t) {
        headers.push_back(dataAt - 8);
    });
    ASSERT_GE(headers.size(), 4u);
    const auto lost = static_cast<std::size_t>(headers[3]);
    std::memset(bytes.data() + lost, 0xFF, 8);
    const fs::path damaged = folder / "damaged.avi";
    writeFile(damaged, bytes);

    const fs::path sample = folder / "sample.avi";
    const CommandRun run = runInProcess({"--structure-sample", utf8(sample), utf8(damaged)});
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("from byte " + std::to_string(lost) + " on"), std::string::npos)
        << run.err;
    const Bytes got = readFile(sample);
    ASSERT_EQ(got.size(), bytes.size());
    EXPECT_TRUE(std::equal(got.begin() + static_cast<std::ptrdiff_t>(lost), got.end(),
                           bytes.begin() + static_cast<std::ptrdiff_t>(lost)));
    // Before it, the first chunks lost their data.
    const Bytes beforeLost = expectedSample(whole, nullptr);
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(lost),
                           beforeLost.begin()));
}

#ifndef _WIN32
TEST(StructureSample, MovieDataBecomesHolesNotWrittenBlocks) {
    TempFolder folder;
    const fs::path file = folder / "large.avi";
    writeFile(file, aviWithMovieChunks(8, 1 << 20));
    const fs::path sample = folder / "sample.avi";
    ASSERT_EQ(runInProcess({"--structure-sample", utf8(sample), utf8(file)}).status, 0);
    struct stat info {};
    ASSERT_EQ(::stat(sample.c_str(), &info), 0);
    EXPECT_EQ(info.st_size, static_cast<off_t>(fs::file_size(file)));
    EXPECT_LT(info.st_blocks * 512, 1 << 20) << "8 MiB of zeros take no blocks";
}
#endif

TEST(StructureSample, RefusalsLeaveEveryFileAsItWas) {
    TempFolder folder;
    const fs::path file = folder / "film.avi";
    writeFile(file, buildAvi({}));
    const Bytes original = readFile(file);
    const fs::path existing = folder / "existing.avi";
    writeFile(existing, Bytes{1, 2, 3});
    const fs::path ogg = folder / "sound.ogg";
    writeFile(ogg, concat({text("OggS"), Bytes(60, 0)}));
    const fs::path fresh = folder / "fresh.avi";

    struct Case {
        const char* name;
        std::vector<std::string> args;
        int status;
    };
    const std::vector<Case> cases = {
        {"an existing OUT", {"--structure-sample", utf8(existing), utf8(file)}, 1},
        {"OUT is FILE", {"--structure-sample", utf8(file), utf8(file), "--force"}, 1},
        {"OUT is FILE spelt another way",
         {"--structure-sample", utf8(folder.path() / "." / "film.avi"), utf8(file), "--force"},
         1},
        {"FILE is missing", {"--structure-sample", utf8(fresh), utf8(folder / "none.avi")}, 1},
        {"FILE is not an AVI file", {"--structure-sample", utf8(fresh), utf8(ogg)}, 1},
        {"two files", {"--structure-sample", utf8(fresh), utf8(file), utf8(file)}, 2},
        {"no file", {"--structure-sample", utf8(fresh)}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandRun run = runInProcess(c.args);
        EXPECT_EQ(run.status, c.status);
        EXPECT_NE(run.err, "");
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(readFile(file), original);
        EXPECT_EQ(readFile(existing), (Bytes{1, 2, 3}));
        EXPECT_FALSE(fs::exists(fresh));
    }
    // Nothing but the files of the test is left in the folder: no temporary file.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator{}), 3);

    const CommandRun forced =
        runInProcess({"--structure-sample", utf8(existing), utf8(file), "--force"});
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(readFile(existing).size(), original.size());
    EXPECT_EQ(readFile(file), original);
}

}  // namespace
}  // namespace strovanik::testing
