#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "container/avi_header_set.h"
#include "container/byte_source.h"
#include "report/analysis.h"
#include "support/avi_writer.h"

// Shared by the report tests: records made with the AVI writer, and reports split in lines.
namespace strovanik::testing {

// The 84-byte record the scan reads from a stream list (it starts 20 bytes into the list);
// the bytes a short format leaves are zero here.
inline container::AviStreamRecord recordOfList(const Bytes& streamList) {
    Bytes bytes(streamList.begin() + 20, streamList.end());
    bytes.resize(84, 0);
    return container::AviStreamRecord(std::span<const std::uint8_t, 84>(bytes.data(), 84));
}

inline container::AviStreamRecord audioRecord(const AudioPlan& plan) {
    return recordOfList(audioStreamList(plan));
}

inline container::AviStreamRecord videoRecord(const VideoPlan& plan) {
    return recordOfList(videoStreamList(plan));
}

inline container::AviMainHeader mainHeader(const MainHeaderPlan& plan) {
    const Bytes bytes = mainHeaderData(plan);
    return container::AviMainHeader::fromBytes(std::span<const std::uint8_t, 56>(bytes.data(), 56));
}

// Lines joined with CR LF after each.
inline std::string crlfLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

// The report's lines without their CR LF; a last line without one is kept as it is.
inline std::vector<std::string> linesOf(std::string_view report) {
    std::vector<std::string> lines;
    while (!report.empty()) {
        const std::size_t end = report.find("\r\n");
        if (end == std::string_view::npos) {
            lines.emplace_back(report);
            break;
        }
        lines.emplace_back(report.substr(0, end));
        report.remove_prefix(end + 2);
    }
    return lines;
}

// The analysis of a file written by buildAvi, as the window would run it.
inline report::Outcome analysePlan(const AviPlan& plan, report::ReportLayout layout,
                                   std::int64_t fileSize = -1,
                                   std::string_view fileName = "sample.avi") {
    Bytes bytes = buildAvi(plan);
    const std::int64_t size = fileSize >= 0 ? fileSize : static_cast<std::int64_t>(bytes.size());
    container::MemorySource source(std::move(bytes));
    return report::analyse(source, {fileName, size, layout});
}

// The two example files and their reports, line for line.

// "sample.avi", 47,710,208 bytes: Cinepak, 320 x 240, IMA ADPCM mono.
inline AviPlan cinepakFile() {
    AviPlan s;
    s.main = {.microSecPerFrame = 66'666, .totalFrames = 4'500, .width = 320, .height = 240};
    s.video = VideoPlan{.handler = "cvid", .compression = "cvid", .quality = 8'500, .bitCount = 24};
    s.audio = {AudioPlan{.formatTag = 0x11,
                         .channels = 1,
                         .samplesPerSec = 22'050,
                         .avgBytesPerSec = 11'100,
                         .blockAlign = 512}};
    s.riffSize = 47'710'200;
    return s;
}
inline constexpr std::int64_t kCinepakSize = 47'710'208;

inline const std::vector<std::string> kCinepakEnglish = {
    "    Filename  : sample.avi",
    "    Filesize  : 47,710,208 Byte   (45.5 MB)",
    "    Total Rate  :  155 KByte/sec",
    "    Make info.  :  unknown                            ",
    "",
    "  Video Stream",
    "    Compression   :  Supermac - Cinepak",
    "    Size (Ratio)  :  320 x 240   ( 1.33 : 1 )",
    "    Total Frames  :  4500",
    "    Running Time  :  0: 5: 0",
    "    Color Depth   :  24 bits",
    "    Frame/Secend  :  15.000 fps",
    "    Microsec/Frame:  66666",
    "    Video Bitrate :  1,156 Kbps",
    "    Video Quality :  8500  (Normal)",
    "",
    "  Audio stream",
    "    Compression   :  IMA ADPCM",
    "    Channels      :  1  (Mono)",
    "    Samples Rate  :  22,050 Hz",
    "    Audio bitrate :  88 Kbps  ",
};

// "sample.avi", 734,003,200 bytes: XviD, 640 x 272, MP3 stereo with the VBR mark.
inline AviPlan xvidFile() {
    AviPlan s;
    s.main = {.microSecPerFrame = 41'708, .totalFrames = 143'856, .width = 640, .height = 272};
    s.video =
        VideoPlan{.handler = "XVID", .compression = "XVID", .quality = 10'000, .bitCount = 24};
    s.audio = {AudioPlan{.formatTag = 0x55,
                         .channels = 2,
                         .samplesPerSec = 48'000,
                         .avgBytesPerSec = 16'000,
                         .blockAlign = 1152}};
    s.riffSize = 734'003'192;
    return s;
}
inline constexpr std::int64_t kXvidSize = 734'003'200;

inline const std::vector<std::string> kXvidKorean = {
    "    파    일    명   :  sample.avi",
    "    파  일  크  기   :  734,003,200 바이트 (700 메가)",
    "    재 생 전 송 량   :  119 킬로바이트/초",
    "    제  작  정  보   :  알수없음" + std::string(31, ' '),
    "",
    "  비디오(화면) 정보",
    "    압  축  코  덱   :  XviD MPEG-4 Video Codec",
    "    화면크기 (비율)  :  640 x 272   ( 2.35 : 1 )",
    "    프  레  임  수   :  143856 프레임",
    "    재  생  시  간   :  1시간  40분  0초",
    "    색          상   :  24 비트",
    "    초 당 프 레 임   :  23.976 프레임/초",
    "    비 트 레 이 트   :  831 킬로비트/초",
    "    화          질   :  10000  (높음)",
    "",
    "  사운드(소리) 정보",
    "    압  축  코  덱   :  DivX MPEG Layer-3 (MP3)",
    "    채    널    수   :  2 채널  (스테레오)",
    "    예  제  속  도   :  48,000 헤르츠",
    "    비 트 레 이 트   :  128 킬로비트/초  (VBR)",
};

inline const std::vector<std::string> kXvidBrief = {
    "    파    일    명   :  sample.avi",
    "    파  일  크  기   :  734,003,200 바이트 (700 메가)",
    "    제  작  정  보   :  알수없음" + std::string(31, ' '),
    "",
    "  비디오 정보",
    "    압  축  코  덱   :  XviD MPEG-4 Video Codec",
    "    화면크기 (비율)  :  640 x 272   ( 2.35 : 1 )",
    "    프레임 (초당량)  :  143856 프레임   ( 23.976 프레임/초 )",
    "    색상 (재생시간)  :  24 비트   ( 1시간 40분 0초 )",
    "",
    "  사운드 정보",
    "    압  축  코  덱   :  DivX MPEG Layer-3 (MP3)",
    "    채 널 (진동수)   :  2 채널   ( 48,000 헤르츠(VBR))",
};

}  // namespace strovanik::testing
