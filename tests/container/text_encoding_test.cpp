#include "container/text_encoding.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <iconv.h>

#include <cerrno>
#endif

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
        {{0xA2, 0xE8, 'A'}, kReplacement + kReplacement + "A"},  // no character; nor is E8 41
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

#ifndef _WIN32

// The C library's own converter, as a second opinion on the built-in table. A sequence it
// cannot convert costs one replacement and the conversion goes on past it: one byte when
// decoding, the character's bytes when encoding.
class Iconv {
public:
    Iconv(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~Iconv() { iconv_close(handle_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    std::string convert(std::string_view in, std::string_view replacement, bool skipCharacter) {
        std::string out;
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        while (!in.empty()) {
            char buffer[256];
            char* inPtr = const_cast<char*>(in.data());
            std::size_t inLeft = in.size();
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t rc = iconv(handle_, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            in.remove_prefix(in.size() - inLeft);
            if (rc != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
            out += replacement;
            if (in.empty()) break;  // the bad sequence was taken whole
            std::size_t skipped = 1;
            while (skipCharacter && skipped < in.size() &&
                   (static_cast<unsigned char>(in[skipped]) & 0xC0) == 0x80) {
                ++skipped;
            }
            in.remove_prefix(skipped);
            iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t handle_;
};

std::string utf8Of(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
        out += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                static_cast<char>(0x80 | (c & 0x3F))};
    } else {
        out += {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
                static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    }
    return out;
}

TEST(Cp949Table, DecodesEveryTwoBytesAsTheCLibraryDoes) {
    Iconv reference("UTF-8", "CP949");
    ASSERT_TRUE(reference.valid());
    int characters = 0;
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        for (int trail = 0; trail <= 0xFF; ++trail) {
            const std::vector<std::uint8_t> pair = {static_cast<std::uint8_t>(lead),
                                                    static_cast<std::uint8_t>(trail)};
            // The C library's converter takes A2 E8 as one bad sequence and swallows both
            // bytes; like every pair the charmap does not name, here it starts no character, so
            // each byte is replaced (as Windows does too).
            const std::string expected =
                lead == 0xA2 && trail == 0xE8
                    ? kReplacement + kReplacement
                    : reference.convert({reinterpret_cast<const char*>(pair.data()), 2},
                                        kReplacement, false);
            ASSERT_EQ(decoded(pair), expected) << ::testing::PrintToString(pair);
            characters += expected.rfind(kReplacement, 0) != 0;
        }
    }
    EXPECT_EQ(characters, 17048);  // every two-byte character the charmap names
}

TEST(Cp949Table, EncodesEveryCodePointAsTheCLibraryDoes) {
    Iconv reference("CP949", "UTF-8");
    ASSERT_TRUE(reference.valid());
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;  // surrogates have no UTF-8 form
        // The C library's converter drops the tag characters without a trace; here they get
        // a "?" like every other character without a CP949 form (as on Windows).
        if (c >= 0xE0000 && c <= 0xE007F) {
            ASSERT_EQ(encodeCp949(utf8Of(c)), "?") << std::hex << static_cast<std::uint32_t>(c);
            continue;
        }
        const std::string text = utf8Of(c);
        ASSERT_EQ(encodeCp949(text), reference.convert(text, "?", true))
            << std::hex << static_cast<std::uint32_t>(c);
    }
}

// Text that is not UTF-8, or is cut short, or mixes everything, costs the same "?" and the
// same replacements either way.
TEST(Cp949Table, ConvertsArbitraryBytesAsTheCLibraryDoes) {
    Iconv toCp949("CP949", "UTF-8");
    Iconv fromCp949("UTF-8", "CP949");
    ASSERT_TRUE(toCp949.valid() && fromCp949.valid());
    const std::vector<std::string> pieces = {"a",
                                             "\x80",
                                             "\xBF",
                                             "\xC0\x80",
                                             "\xC1\xBF",
                                             "\xC2\xA1",
                                             "\xE0\x80\x80",
                                             "\xE0\x82\xA1",
                                             "\xED\xA0\x80",
                                             "\xEA\xB0",
                                             "\xEA\xB0\x80",
                                             "\xF0\x9F\x98\x80",
                                             "\xF4\x90\x80\x80",
                                             "\xF8\x88\x80\x80\x80",
                                             "\xFF",
                                             "\xC7",
                                             "\xD1",
                                             "\x81",
                                             "\x41",
                                             "\xA2\xE6",
                                             std::string(1, '\0')};
    std::mt19937 random(949);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const int count = 1 + static_cast<int>(random() % 6);
        for (int i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
        ASSERT_EQ(encodeCp949(text), toCp949.convert(text, "?", true))
            << ::testing::PrintToString(text);
        const std::vector<std::uint8_t> bytes(text.begin(), text.end());
        ASSERT_EQ(decodeCp949(bytes), fromCp949.convert(text, kReplacement, false))
            << ::testing::PrintToString(text);
    }
}

#endif

TEST(PathFromUtf8, KeepsKoreanNames) {
    const std::string name = "영화/샘플 파일.avi";
    EXPECT_EQ(pathToUtf8(pathFromUtf8(name)), name);
    EXPECT_EQ(pathToUtf8(pathFromUtf8(name).filename()), "샘플 파일.avi");
}

}  // namespace
}  // namespace strovanik::container
