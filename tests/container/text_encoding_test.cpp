#include "container/text_encoding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace strovanik::container {
namespace {

using namespace std::string_literals;

const std::string kReplacement = "\xEF\xBF\xBD";

std::string decoded(std::vector<std::uint8_t> bytes) { return decodeCp949(bytes); }

TEST(DecodeCp949, Table) {
    struct Case {
        std::vector<std::uint8_t> bytes;
        std::string utf8;
    };
    const std::vector<Case> cases = {
        {{}, ""},
        {{'A', 'b', '1', ' '}, "Ab1 "},
        {{0, 'A', 0}, "\0A\0"s},  // NUL stays NUL
        {{0xB0, 0xA1}, "가"},     // KS X 1001 Hangul
        {{0xC7, 0xD1, 0xB1, 0xDB}, "한글"},
        {{0x81, 0x41}, "갂"},  // the extended (UHC) range
        {{'X', 0xC7, 0xD1, 'Y'}, "X한Y"},
        {{0xB0, 0xA1, 0, 0}, "가\0\0"s},
        {{0xFF}, kReplacement},             // never a lead byte
        {{0x80, 'A'}, kReplacement + "A"},  // decoding goes on after it
        {{0xB0}, kReplacement},             // a lead byte at the end
        {{0xB0, 0}, kReplacement + "\0"s},  // NUL is never a trail byte
        {{0xB0, 0x20, 0xB0, 0xA1}, kReplacement + " 가"},
        {{0xFF, 0xFF, 0xC7, 0xD1}, kReplacement + kReplacement + "한"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decoded(c.bytes), c.utf8) << ::testing::PrintToString(c.bytes);
    }
}

TEST(EncodeCp949, Table) {
    struct Case {
        std::string utf8;
        std::string cp949;
    };
    const std::vector<Case> cases = {
        {"", ""},
        {"plain ASCII\r\n", "plain ASCII\r\n"},
        {"한글", "\xC7\xD1\xB1\xDB"},
        {"  파  일  크  기   :  ", "  \xC6\xC4  \xC0\xCF  \xC5\xA9  \xB1\xE2   :  "},
        {"갂", "\x81\x41"},
        {"a\xE2\x82\xACz", "a\xA2\xE6z"},    // the euro sign has a CP949 form
        {"a\xF0\x9F\x98\x80z", "a?z"},       // an emoji has none
        {"\xE0\xB8\x81\xE0\xB8\x82", "??"},  // nor have Thai letters, one "?" each
        {kReplacement, "?"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(encodeCp949(c.utf8), c.cp949) << c.utf8;
    }
}

TEST(EncodeCp949, RoundTripsEveryTextOfTheReports) {
    const std::vector<std::string> texts = {
        "    파    일    명   :  sample.avi\r\n",
        "    재 생 전 송 량   :  119 킬로바이트/초\r\n",
        "  비디오(화면) 정보",
        "    채    널    수   :  5.1 채널  (다채널 서라운드)",
        "    색상 (재생시간)  :  24 비트   ( 1시간 40분 0초 )",
        "  2번째 사운드(소리) 정보",
        "알수없음",
        "편집됨",
        "OGG 코덱의 동영상 정보는 알수없습니다.. 죄송^^",
        "AVI형식이 아니거나 알수없는 형식입니다",
    };
    for (const std::string& t : texts) {
        const std::string bytes = encodeCp949(t);
        EXPECT_EQ(bytes.find('?'), t.find('?')) << t;
        const std::vector<std::uint8_t> raw(bytes.begin(), bytes.end());
        EXPECT_EQ(decodeCp949(raw), t);
    }
}

TEST(PathFromUtf8, KeepsKoreanNames) {
    const std::string name = "영화/샘플 파일.avi";
    EXPECT_EQ(pathToUtf8(pathFromUtf8(name)), name);
    EXPECT_EQ(pathToUtf8(pathFromUtf8(name).filename()), "샘플 파일.avi");
}

}  // namespace
}  // namespace strovanik::container
