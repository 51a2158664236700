#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/batch_fixture.h"

// --format json and jsonl, parsed back: the keys, their types and values, the report as
// the text output has it, and null for a figure that failed.
namespace strovanik::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

json jsonOf(const std::vector<std::string>& args, int expectedStatus = 0) {
    const CommandRun run = runInProcess(args);
    EXPECT_EQ(run.status, expectedStatus) << run.err;
    return json::parse(run.out);
}

// The one record of a file given alone.
json recordOf(const std::string& path, std::vector<std::string> options = {},
              int expectedStatus = 0) {
    options.insert(options.begin(), {"--format", "json"});
    options.push_back(path);
    const json all = jsonOf(options, expectedStatus);
    EXPECT_TRUE(all.is_array());
    EXPECT_EQ(all.size(), 1u);
    return all.at(0);
}

// A file whose scan gives up: its odml list claims a size that runs past any position.
Bytes abandonedScanBytes() {
    const Bytes absurdOdml = concat({text("LIST"), le32(0x7FFFFFF0), text("odml")});
    const Bytes hdrl = list("hdrl", {chunk("avih", mainHeaderData({})), videoStreamList({}),
                                     audioStreamList({}), absurdOdml});
    return riff("AVI ", {hdrl, list("movi", {chunk("00dc", Bytes(16, 1))})});
}

TEST(JsonRecord, AReportedFileHasItsRecordsTextsAndFigures) {
    Collection c;
    AviPlan plan;
    plan.riffSize = 1'048'576;  // over 10 s: a total rate of 102.4, shown cut to 102
    plan.video->quality = 10'000;
    plan.makeInfo = std::string("Made by hand") + std::string(23, '\0');
    const std::string path = c.avi("film.avi", plan);
    const json r = recordOf(path);

    EXPECT_EQ(r.at("path"), path);
    EXPECT_EQ(r.at("kind"), "Avi");
    EXPECT_EQ(r.at("complete"), true);
    EXPECT_FALSE(r.contains("error"));

    const json& main = r.at("mainHeader");
    EXPECT_EQ(main.at("dwMicroSecPerFrame"), 40'000);
    EXPECT_EQ(main.at("dwTotalFrames"), 250);
    EXPECT_EQ(main.at("dwWidth"), 320);
    EXPECT_EQ(main.at("dwHeight"), 240);
    EXPECT_EQ(main.at("dwReserved"), json::array({0, 0, 0, 0}));
    EXPECT_EQ(main.size(), 11u);

    // The video stream through the video names only, the audio stream through the audio ones.
    const json& video = r.at("videoStream");
    EXPECT_EQ(video.at("fccType"), "vids");
    EXPECT_EQ(video.at("fccHandler"), "XVID");
    EXPECT_EQ(video.at("biCompression"), "XVID");
    EXPECT_EQ(video.at("dwQuality"), 10'000);
    EXPECT_EQ(video.at("biBitCount"), 24);
    EXPECT_EQ(video.at("strfId"), "strf");
    EXPECT_FALSE(video.contains("wFormatTag"));
    EXPECT_EQ(video.size(), 23u);
    const json& audio = r.at("audioStream1");
    EXPECT_EQ(audio.at("fccType"), "auds");
    EXPECT_EQ(audio.at("wFormatTag"), 0x55);
    EXPECT_EQ(audio.at("nChannels"), 2);
    EXPECT_EQ(audio.at("nSamplesPerSec"), 48'000);
    EXPECT_EQ(audio.at("nAvgBytesPerSec"), 16'000);
    EXPECT_EQ(audio.at("nBlockAlign"), 1152);
    EXPECT_FALSE(audio.contains("biCompression"));
    EXPECT_EQ(audio.size(), 23u);
    EXPECT_FALSE(r.contains("audioStream2"));

    EXPECT_EQ(r.at("makeInfo"), "Made by hand");
    EXPECT_EQ(r.at("videoCodecText"), "XviD MPEG-4 Video Codec");
    EXPECT_EQ(r.at("audioCodecText1"), "DivX MPEG Layer-3 (MP3)");
    EXPECT_FALSE(r.contains("audioCodecText2"));

    EXPECT_EQ(r.at("runSeconds"), 10);
    EXPECT_TRUE(r.at("runSeconds").is_number_integer());
    EXPECT_EQ(r.at("runHours"), 0);
    EXPECT_EQ(r.at("runMinutes"), 0);
    EXPECT_EQ(r.at("runRestSeconds"), 10);
    const double megabytes = static_cast<double>(fs::file_size(path)) / 1024 / 1024;
    EXPECT_DOUBLE_EQ(r.at("sizeMegabytes").get<double>(), megabytes);
    EXPECT_EQ(r.at("sizeMegabytesText"), "0.00");
    EXPECT_EQ(r.at("totalRate"), 102);
    EXPECT_EQ(r.at("framesPerSecond"), 25);
    EXPECT_DOUBLE_EQ(r.at("pictureRatio").get<double>(), 320.0 / 240.0);
    // (1,048,576 / 10 - 16,000) / 1024 × 8
    EXPECT_NEAR(r.at("videoBitrate").get<double>(), 694.2, 1e-9);
    EXPECT_EQ(r.at("qualityGrade"), "High");
    EXPECT_EQ(r.at("hasAudio"), true);
    EXPECT_EQ(r.at("hasSecondAudio"), false);
    EXPECT_EQ(r.at("channelClass1"), "Stereo");
    EXPECT_EQ(r.at("audioBitrate1"), 128);
    EXPECT_EQ(r.at("vbr1"), true);
    EXPECT_FALSE(r.contains("channelClass2"));
}

TEST(JsonRecord, OnlyTheStreamsPresentAreThere) {
    Collection c;
    AviPlan silent;
    silent.audio = {};
    AviPlan twoSounds;
    twoSounds.audio = {
        AudioPlan{},
        AudioPlan{.formatTag = 0x2000, .channels = 6, .avgBytesPerSec = 20'050, .blockAlign = 4}};
    AviPlan noVideo;
    noVideo.video.reset();
    AviPlan lowerCase;
    lowerCase.lowerCase = true;

    const json s = recordOf(c.avi("silent.avi", silent));
    EXPECT_TRUE(s.contains("videoStream"));
    EXPECT_FALSE(s.contains("audioStream1"));
    EXPECT_FALSE(s.contains("audioCodecText1"));
    EXPECT_FALSE(s.contains("channelClass1"));
    EXPECT_EQ(s.at("hasAudio"), false);

    const json t = recordOf(c.avi("two.avi", twoSounds));
    EXPECT_EQ(t.at("audioStream2").at("nChannels"), 6);
    EXPECT_EQ(t.at("audioCodecText2"), "AC3 Prologic (DD)");
    EXPECT_EQ(t.at("hasSecondAudio"), true);
    EXPECT_EQ(t.at("channelClass2"), "Surround");
    EXPECT_EQ(t.at("audioBitrate2"), 160);  // 20,050 bytes/s: 160.4 cut down
    EXPECT_EQ(t.at("vbr2"), false);
    EXPECT_EQ(t.at("channelClass1"), "Stereo");

    const json v = recordOf(c.avi("novideo.avi", noVideo));
    EXPECT_FALSE(v.contains("videoStream"));
    EXPECT_EQ(v.at("videoCodecText"), "Uncompressed");  // the key of four NUL characters
    EXPECT_TRUE(v.contains("audioStream1"));

    const json l = recordOf(c.avi("lower.avi", lowerCase));
    EXPECT_EQ(l.at("videoStream").at("fccType"), "vids");
    EXPECT_TRUE(l.contains("audioStream1"));
}

TEST(JsonRecord, TheReportIsTheTextOutputInEveryLayout) {
    Collection c;
    const std::string good = c.avi("good.avi");
    const std::string partial = c.avi("partial.avi", partialPlan());
    for (const std::string_view layout : {"english", "korean", "brief"}) {
        for (const auto& [path, status] : {std::pair{good, 0}, std::pair{partial, 3}}) {
            const CommandRun text = runInProcess({"--layout", std::string(layout), path});
            const json r = recordOf(path, {"--layout", std::string(layout)}, status);
            EXPECT_EQ(r.at("report").get<std::string>(), text.out) << layout << " " << path;
            EXPECT_FALSE(text.out.empty());
        }
    }
    // --encoding is for the text; JSON stays UTF-8.
    const CommandRun utf8 = runInProcess({good});
    const json r = recordOf(good, {"--encoding", "cp949"});
    EXPECT_EQ(r.at("report").get<std::string>(), utf8.out);
}

// Values, not display text: the report pads the make-info row to 35 characters, the record
// does not.
TEST(JsonRecord, TheShownMakeInfoFollowsTheLayoutsWords) {
    Collection c;
    const std::string none = c.avi("none.avi");
    AviPlan spaces;
    spaces.makeInfo = std::string(35, ' ');
    const std::string edited = c.avi("edited.avi", spaces);
    AviPlan cut;
    cut.makeInfo = std::string("tool") + '\0' + "hidden";
    const std::string nul = c.avi("nul.avi", cut);
    AviPlan padded;
    padded.makeInfo = "  made by hand" + std::string(21, ' ');
    const std::string spaced = c.avi("spaced.avi", padded);
    EXPECT_EQ(recordOf(none, {"--layout", "english"}).at("makeInfo"), "unknown");
    EXPECT_EQ(recordOf(none).at("makeInfo"), "알수없음");
    EXPECT_EQ(recordOf(edited, {"--layout", "english"}).at("makeInfo"), "editing");
    EXPECT_EQ(recordOf(edited, {"--layout", "brief"}).at("makeInfo"), "편집됨");
    EXPECT_EQ(recordOf(spaced).at("makeInfo"), "made by hand");
    EXPECT_EQ(recordOf(nul).at("makeInfo"), "tool");  // shown up to its first NUL
}

TEST(JsonRecord, AFailedFigureIsNullAndTheOthersStay) {
    Collection c;
    AviPlan noHeight = partialPlan();
    AviPlan noFrameTime;
    noFrameTime.main.microSecPerFrame = 0;  // no running time, no frame rate
    AviPlan halfSecond;
    halfSecond.main.microSecPerFrame = 500'000;
    halfSecond.main.totalFrames = 1;  // 0.5 s rounds to 0 s: the rates divide by zero
    AviPlan endless;
    endless.main.microSecPerFrame = 2'000'000'000;
    endless.main.totalFrames = 2'000'000'000;  // beyond a signed 32-bit count of seconds

    const struct {
        std::string name;
        AviPlan plan;
        std::vector<std::string> nullFigures;
        std::vector<std::string> setFigures;
    } cases[] = {
        {"noheight.avi",
         noHeight,
         {"pictureRatio"},
         {"runSeconds", "totalRate", "framesPerSecond", "videoBitrate", "sizeMegabytes"}},
        {"noframetime.avi",
         noFrameTime,
         {"totalRate", "framesPerSecond", "videoBitrate"},
         {"runSeconds", "pictureRatio", "qualityGrade", "sizeMegabytesText"}},
        {"halfsecond.avi",
         halfSecond,
         {"totalRate", "videoBitrate"},
         {"runSeconds", "framesPerSecond", "pictureRatio"}},
        {"endless.avi",
         endless,
         {"runSeconds", "runHours", "runMinutes", "runRestSeconds", "totalRate", "videoBitrate"},
         {"framesPerSecond", "pictureRatio", "sizeMegabytes", "hasAudio", "audioBitrate1"}},
    };
    for (const auto& test : cases) {
        const std::string path = c.avi(test.name, test.plan);
        const json r = recordOf(path, {}, 3);
        EXPECT_EQ(r.at("complete"), false) << test.name;
        EXPECT_TRUE(r.at("error").get<std::string>().starts_with("the report is incomplete: "));
        for (const std::string& name : test.nullFigures) {
            EXPECT_TRUE(r.at(name).is_null()) << test.name << ": " << name;
        }
        for (const std::string& name : test.setFigures) {
            EXPECT_FALSE(r.at(name).is_null()) << test.name << ": " << name;
        }
        EXPECT_TRUE(r.contains("mainHeader")) << test.name;
    }
    // The running time that does not fit leaves the report empty, as the text output has it.
    EXPECT_EQ(recordOf((c.root() / "endless.avi").string(), {}, 3).at("report"), "");
}

TEST(JsonRecord, AnAbandonedScanHasNoRecordsAndEveryFigureNull) {
    Collection c;
    const std::string path = c.write("abandoned.avi", abandonedScanBytes());
    const json r = recordOf(path, {}, 3);
    EXPECT_EQ(r.at("kind"), "Avi");
    EXPECT_EQ(r.at("complete"), false);
    EXPECT_EQ(r.at("report"), "");
    EXPECT_FALSE(r.contains("mainHeader"));
    EXPECT_FALSE(r.contains("videoCodecText"));
    for (const char* name : {"runSeconds", "sizeMegabytes", "totalRate", "framesPerSecond",
                             "pictureRatio", "videoBitrate", "qualityGrade", "hasAudio"}) {
        EXPECT_TRUE(r.at(name).is_null()) << name;
    }
}

TEST(JsonRecord, FilesThatAreNotReportedHaveTheirErrorOnly) {
    Collection c;
    const std::string ogg = c.write("ogg.avi", oggBytes());
    const std::string empty = c.write("empty.avi", Bytes{});
    const std::string missing = (c.root() / "missing.avi").string();
    const struct {
        std::string path;
        json kind;
        std::string error;
    } cases[] = {
        {ogg, "Ogg", "OGG 코덱의 동영상 정보는 알수없습니다.. 죄송^^"},
        {empty, "Unknown", "AVI형식이 아니거나 알수없는 형식입니다"},
        {missing, nullptr, "no such file"},
    };
    for (const auto& test : cases) {
        const json r = recordOf(test.path, {}, 1);
        EXPECT_EQ(r.at("path"), test.path);
        EXPECT_EQ(r.at("kind"), test.kind) << test.path;
        EXPECT_EQ(r.at("complete"), false);
        EXPECT_EQ(r.at("error"), test.error) << test.path;
        EXPECT_EQ(r.size(), 4u) << r.dump();
    }
}

// The messages on stderr do not depend on the format.
TEST(JsonRecord, StandardErrorIsTheSameAsForText) {
    Collection c;
    std::vector<std::string> files = {
        c.avi("good.avi"),
        c.avi("partial.avi", partialPlan()),
        c.write("ogg.avi", oggBytes()),
        c.write("abandoned.avi", abandonedScanBytes()),
        (c.root() / "missing.avi").string(),
    };
#ifndef _WIN32
    const std::string fifo = (c.root() / "pipe.avi").string();
    if (mkfifo(fifo.c_str(), 0600) == 0) files.push_back(fifo);
#endif
    for (const std::string& file : files) {
        const CommandRun text = runInProcess({file});
        for (const std::string_view format : {"json", "jsonl", "csv"}) {
            const CommandRun other = runInProcess({"--format", std::string(format), file});
            EXPECT_EQ(other.err, text.err) << format << " " << file;
            EXPECT_EQ(other.status, text.status) << format << " " << file;
        }
    }
}

TEST(JsonOutput, OneArrayInTheOrderOfTheFilesEvenForOneOrNone) {
    Collection c;
    const std::string b = c.avi("films/b.avi");
    const std::string a = c.avi("films/a.avi");
    const std::string missing = (c.root() / "missing.avi").string();
    const json all = jsonOf({"--format", "json", missing, c.folder("films"), a}, 1);
    ASSERT_TRUE(all.is_array());
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].at("path"), missing);
    EXPECT_EQ(all[1].at("path"), a);
    EXPECT_EQ(all[2].at("path"), b);
    EXPECT_EQ(all[3].at("path"), a);

    const json none = jsonOf({"--format", "json", c.folder("nothing")}, 1);
    EXPECT_EQ(none, json::array());
}

TEST(JsonOutput, JsonLinesIsOneObjectPerLine) {
    Collection c;
    const std::vector<std::string> files = {c.avi("one.avi"), c.write("two.avi", oggBytes()),
                                            c.avi("three.avi")};
    std::vector<std::string> args = {"--format", "jsonl"};
    args.insert(args.end(), files.begin(), files.end());
    const CommandRun run = runInProcess(args);
    EXPECT_EQ(run.status, 1);
    ASSERT_FALSE(run.out.empty());
    EXPECT_EQ(run.out.back(), '\n');
    const std::vector<std::string> lines = linesOf(run.out);
    ASSERT_EQ(lines.size(), files.size());
    const json arrayForm = jsonOf({"--format", "json", files[0], files[1], files[2]}, 1);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const json line = json::parse(lines[i]);
        EXPECT_TRUE(line.is_object());
        EXPECT_EQ(line, arrayForm[i]);
    }
    EXPECT_EQ(runInProcess({"--format", "jsonl", c.folder("nothing")}).out, "");
}

TEST(JsonOutput, NamesThatAreNotUtf8StillGiveValidJson) {
    Collection c;
    c.avi("ok.avi");
    const std::string root = c.folder();
    const std::string badName = std::string("bad") + '\xFF' + ".avi";
    writeFile(fs::path(root) / badName, buildAvi({}));
    const CommandRun run = runInProcess({"--format", "json", root});
    ASSERT_EQ(run.status, 0) << run.err;
    const json all = json::parse(run.out);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].at("path"), (fs::path(root) / "bad\xEF\xBF\xBD.avi").string());
    EXPECT_EQ(all[0].at("complete"), true);
}

}  // namespace
}  // namespace strovanik::testing
