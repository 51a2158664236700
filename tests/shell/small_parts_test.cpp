#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "container/text_encoding.h"
#include "shell/dialog_filter.h"
#include "shell/form_design.h"
#include "shell/header_sample.h"
#include "shell/saved_text_encoding.h"
#include "shell/viewer_state.h"

namespace strovanik::shell {
namespace {

TEST(SplitFileName, BareNameIsTheTextAfterTheLastSeparator) {
    struct Case {
        std::string path;
        std::string fileName;
    };
    std::string deep = "/";
    for (int i = 1; i <= 25; ++i) deep += "d" + std::to_string(i) + "/";
    const std::vector<Case> cases = {
        {"/films/a.avi", "a.avi"},
        {"a.avi", "a.avi"},
        {"/films/", ""},
        {"/", ""},
        {"", ""},
        {"/영화/첫 번째 영화.avi", "첫 번째 영화.avi"},
        {deep + "a.avi", "a.avi"},  // deeper than twenty folders
#ifdef _WIN32
        {"C:\\films\\a.avi", "a.avi"},
        {"C:\\films/sub\\a.avi", "a.avi"},
#else
        {"C:\\films\\a.avi", "C:\\films\\a.avi"},  // a backslash is part of a Linux name
#endif
    };
    for (const Case& c : cases) {
        ViewerState state;
        state.nameScratch = c.path;
        SplitFileName(state);
        EXPECT_EQ(state.nameScratch, c.fileName) << c.path;
    }
}

TEST(HeaderSampleName, FourCharactersAreCutWhateverTheyAre) {
    struct Case {
        std::string source;
        std::optional<std::string> sample;
    };
    const std::vector<Case> cases = {
        {"/films/a.avi", "/films/aHDR.avi"},
        {"/films/a.divx", "/films/a.HDR.avi"},  // "divx" goes, the dot stays
        {"/films/clip", "/films/HDR.avi"},
        {"/films/a.AVI", "/films/aHDR.avi"},
        {"/영화/첫영화제목", "/영화/첫HDR.avi"},  // whole Korean letters, not bytes
        {"/영화/영화.avi", "/영화/영화HDR.avi"},
        {"abcd", "HDR.avi"},
        {"abc", std::nullopt},
        {"한글", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(headerSamplePath(c.source), c.sample) << c.source;
    }
}

TEST(DialogFilter, DescriptionsAndPatternsAlternate) {
    EXPECT_EQ(parseDialogFilter("AVI 파일(*.avi)|*.avi|모든 파일(*.*)|*.*"),
              (std::vector<FilterChoice>{{"AVI 파일(*.avi)", "*.avi"}, {"모든 파일(*.*)", "*.*"}}));
    EXPECT_EQ(parseDialogFilter("문서 파일(*.TXT)|*.txt"),
              (std::vector<FilterChoice>{{"문서 파일(*.TXT)", "*.txt"}}));
    // A description left without its pattern lets every name through.
    EXPECT_EQ(parseDialogFilter("Text|*.txt|All"),
              (std::vector<FilterChoice>{{"Text", "*.txt"}, {"All", "*"}}));
    EXPECT_EQ(parseDialogFilter("Text|"), (std::vector<FilterChoice>{{"Text", "*"}}));
    EXPECT_TRUE(parseDialogFilter("").empty());
}

TEST(SavedTextEncoding, KoreanLegacyCharsetsGiveCp949AndEverythingElseUtf8) {
    struct Case {
        std::string charset;
        SavedTextEncoding encoding;
    };
    const std::vector<Case> cases = {
        {"UTF-8", SavedTextEncoding::Utf8},          {"utf8", SavedTextEncoding::Utf8},
        {"EUC-KR", SavedTextEncoding::Cp949},        {"euckr", SavedTextEncoding::Cp949},
        {"CP949", SavedTextEncoding::Cp949},         {"UHC", SavedTextEncoding::Cp949},
        {"windows-949", SavedTextEncoding::Cp949},   {"KS_C_5601-1987", SavedTextEncoding::Cp949},
        {"ANSI_X3.4-1968", SavedTextEncoding::Utf8}, {"ISO-8859-1", SavedTextEncoding::Utf8},
        {"EUC-JP", SavedTextEncoding::Utf8},         {"", SavedTextEncoding::Utf8},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(encodingForCharset(c.charset), c.encoding) << c.charset;
    }
}

TEST(SavedTextEncoding, Cp949BytesHaveNoByteOrderMark) {
    const std::string text = "    파 일 명 : a.avi\r\n";
    EXPECT_EQ(encodeSavedText(text, SavedTextEncoding::Utf8), text);
    const std::string cp949 = encodeSavedText(text, SavedTextEncoding::Cp949);
    EXPECT_EQ(cp949.substr(0, 6), "    \xC6\xC4");  // "파" in CP949
    EXPECT_EQ(
        container::decodeCp949({reinterpret_cast<const std::uint8_t*>(cp949.data()), cp949.size()}),
        text);
}

TEST(FormDesign, TabOrderRunsWithoutGapsAndEveryControlFitsTheWindow) {
    std::set<std::string_view> names;
    int expectedTab = 0;
    for (const ControlDesign& control : kForm1Controls) {
        EXPECT_TRUE(names.insert(control.name).second) << control.name;
        if (control.tabIndex != kNoTabStop) {
            EXPECT_EQ(control.tabIndex, expectedTab++) << control.name;
        }
        const TwipRect& place = control.place;
        EXPECT_GE(place.left, 0) << control.name;
        EXPECT_GE(place.top, 0) << control.name;
        EXPECT_LE(place.left + place.width, kClientWidthTwips) << control.name;
        EXPECT_LE(place.top + place.height, kClientHeightTwips) << control.name;
        EXPECT_EQ(&controlDesign(control.id), &control);
    }
    EXPECT_EQ(expectedTab, 19);
}

TEST(FormDesign, TwipsBecomePixelsAtFifteenToAPixelRounded) {
    EXPECT_EQ(pixelsFromTwips(kClientWidthTwips), 426);
    EXPECT_EQ(pixelsFromTwips(kClientHeightTwips), 524);
    EXPECT_EQ(pixelsFromTwips(3250), 217);  // 216.7
    EXPECT_EQ(pixelsFromTwips(1700), 113);  // 113.3
    EXPECT_EQ(pixelsFromTwips(7), 0);
    EXPECT_EQ(pixelsFromTwips(8), 1);
    EXPECT_EQ(pixelsFromTwips(TwipRect{1185, 15, 5040, 690}), (PixelRect{79, 1, 336, 46}));
}

TEST(FormDesign, LinksOpenTheirOwnCaptionOverHttps) {
    std::set<std::string> urls;
    for (const ControlDesign& control : kForm1Controls) {
        if (control.kind != ControlKind::LinkLabel) continue;
        const std::string url = webAddressUrl(control.caption);
        EXPECT_EQ(url, "https://" + std::string(control.caption));
        urls.insert(url);
    }
    EXPECT_EQ(urls.size(), 4u);
    EXPECT_EQ(webAddressUrl("http://example.org/a"), "http://example.org/a");
}

}  // namespace
}  // namespace strovanik::shell
