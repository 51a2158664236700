#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The design of the main window Form1: every control with its name, kind, caption, place,
// tab stop, font and colour. Both windows (Qt on Linux, Win32 on Windows) are built from
// this one table, so they cannot drift apart; the window tests check each face against it.
//
// Places are in twips, 15 to a pixel at 96 dpi (1440 to the inch), measured from the top
// left of the client area, as left, top, width, height.
namespace strovanik::shell {

enum class ControlId {
    Text1,
    Label1,
    Label2,
    Label3,
    Label4,
    Label5,
    Label6,
    Label7,
    Label8,
    Label9,
    Label10,
    Command1,
    Command2,
    Command3,
    Command4,
    Command5,
    Check1,
    Check2,
    ShockwaveFlash1,  // the banner area over the title labels; it keeps its old control name
    Image1,
};

enum class ControlKind {
    TextBox,    // the report box: multi-line, both scroll bars; Tab moves on to the next control
    Label,      // plain text, no focus
    LinkLabel,  // a label that opens its caption, a web address, when clicked; hand cursor
    Button,
    CheckBox,
    Banner,  // painted by the face over the title labels and the picture
    Image,   // the program's picture, 32 × 32 pixels
};

struct TwipRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct PixelRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

// A control's font. Points 0 means the window's default font (kDefaultFontPoints of the
// Korean font family). A fixed-pitch font comes from kFixedPitchKoreanFontFamilies instead.
struct FontDesign {
    double points = 0.0;
    bool bold = false;
    bool underline = false;
    bool fixedPitch = false;
    friend bool operator==(const FontDesign&, const FontDesign&) = default;
};

enum class TextAlignment { Left, Centre };

inline constexpr int kNoTabStop = -1;

struct ControlDesign {
    ControlId id;
    std::string_view name;
    ControlKind kind;
    std::string_view caption;  // a link's caption is the address it opens
    TwipRect place;
    int tabIndex = kNoTabStop;
    FontDesign font{};
    std::optional<Rgb> textColour{};  // none: the platform's text colour
    TextAlignment alignment = TextAlignment::Left;
    bool initiallyChecked = false;  // check boxes only
    bool captionWraps = false;      // buttons only: the caption breaks into lines
};

inline constexpr std::string_view kWindowCaption = "Strovanik v1.75^^";
// The title of message boxes: the application's own, never one of the message's.
inline constexpr std::string_view kApplicationTitle = "Strovanik";

inline constexpr int kClientWidthTwips = 6390;
inline constexpr int kClientHeightTwips = 7860;

// The Korean font of the window, in order of preference: the system font the window was
// designed with, then common Korean fonts of Linux desktops. A face takes the first one
// installed, else any installed font that covers Hangul.
inline constexpr std::array<std::string_view, 10> kKoreanFontFamilies = {"굴림",
                                                                         "Gulim",
                                                                         "NanumGothic",
                                                                         "나눔고딕",
                                                                         "Noto Sans CJK KR",
                                                                         "Noto Sans KR",
                                                                         "Source Han Sans K",
                                                                         "UnDotum",
                                                                         "Baekmuk Gulim",
                                                                         "Malgun Gothic"};
// The report box's font, in order of preference: fixed-pitch Korean fonts in which each
// Hangul syllable is exactly two columns wide, as the report's rows are laid out, so that
// every label's colon stands in one column. First the Windows system font of that kind, then
// those of Linux desktops (Debian: fonts-nanum-coding, fonts-noto-cjk). A face takes the
// first one installed, else a fixed-pitch font that covers Hangul.
inline constexpr std::array<std::string_view, 7> kFixedPitchKoreanFontFamilies = {
    "굴림체", "GulimChe", "NanumGothicCoding", "나눔고딕코딩", "Noto Sans Mono CJK KR",
    "돋움체", "DotumChe"};
inline constexpr double kDefaultFontPoints = 9.0;
inline constexpr FontDesign kReportFont{0.0, false, false, true};

inline constexpr Rgb kLinkBlue{0, 0, 255};
inline constexpr Rgb kLinkGreen{0, 128, 0};
inline constexpr FontDesign kLinkFont{9.0, false, true};

// What the banner shows, drawn by each face in its own way.
inline constexpr std::string_view kBannerTitle = "Strovanik";
inline constexpr std::string_view kBannerTagline = "AVI 동영상 정보 보기";

// The four links: the maker's homepage, a site of DivX codec patches, a film subtitle site
// and a film search site. A link's caption is exactly the address it opens, written as people
// type addresses (the labels are narrow); webAddressUrl gives the browser its full form.
inline constexpr std::string_view kMakerHomepage = "www.debian.org";
inline constexpr std::string_view kCodecPatchSite = "www.divx.com";
inline constexpr std::string_view kSubtitleSite = "www.opensubtitles.org";
inline constexpr std::string_view kFilmSearchSite = "www.imdb.com";

// Every control in tab order; the picture, which takes no tab stop, comes last.
inline constexpr std::array<ControlDesign, 20> kForm1Controls = {{
    {ControlId::Text1, "Text1", ControlKind::TextBox, "", {165, 780, 6060, 5265}, 0, kReportFont},
    {ControlId::Label2,
     "Label2",
     ControlKind::Label,
     "제작: Strovanik 개발팀",
     {2805, 165, 2865, 345},
     1,
     {12.0},
     {},
     TextAlignment::Centre},
    {ControlId::Command1,
     "Command1",
     ControlKind::Button,
     "AVI파일열기",
     {150, 6150, 1440, 420},
     2},
    {ControlId::Command2,
     "Command2",
     ControlKind::Button,
     "TXT파일로저장",
     {3250, 6150, 1440, 420},
     3},
    {ControlId::Label1,
     "Label1",
     ControlKind::Label,
     "Strovanik",
     {1140, 165, 1650, 345},
     4,
     {14.25, true},
     {},
     TextAlignment::Centre},
    {ControlId::Command3,
     "Command3",
     ControlKind::Button,
     "프로그램종료",
     {4800, 6150, 1440, 420},
     5},
    {ControlId::Command4,
     "Command4",
     ControlKind::Button,
     "복 사 하 기",
     {1700, 6150, 1440, 420},
     6},
    {ControlId::Check1,
     "Check1",
     ControlKind::CheckBox,
     "한글",
     {210, 210, 795, 180},
     7,
     {},
     {},
     TextAlignment::Left,
     true},
    {ControlId::Label3,
     "Label3",
     ControlKind::LinkLabel,
     kMakerHomepage,
     {1860, 6675, 2205, 240},
     8,
     kLinkFont,
     kLinkBlue},
    {ControlId::Label4, "Label4", ControlKind::Label, "디빅패치사이트:", {330, 6975, 1425, 195}, 9},
    {ControlId::Label5,
     "Label5",
     ControlKind::Label,
     "제작자홈피주소:",
     {330, 6690, 1500, 210},
     10},
    {ControlId::Label6,
     "Label6",
     ControlKind::LinkLabel,
     kCodecPatchSite,
     {1860, 6960, 2100, 255},
     11,
     kLinkFont,
     kLinkGreen},
    {ControlId::Label7,
     "Label7",
     ControlKind::Label,
     "영화자막사이트:",
     {330, 7245, 1500, 210},
     12},
    {ControlId::Label8,
     "Label8",
     ControlKind::LinkLabel,
     kSubtitleSite,
     {1860, 7245, 2205, 240},
     13,
     kLinkFont,
     kLinkGreen},
    {ControlId::Label9,
     "Label9",
     ControlKind::Label,
     "영화검색사이트:",
     {330, 7530, 1500, 210},
     14},
    {ControlId::Label10,
     "Label10",
     ControlKind::LinkLabel,
     kFilmSearchSite,
     {1860, 7530, 2205, 240},
     15,
     kLinkFont,
     kLinkGreen},
    {ControlId::ShockwaveFlash1,
     "ShockwaveFlash1",
     ControlKind::Banner,
     "",
     {1185, 15, 5040, 690},
     16},
    {ControlId::Command5,
     "Command5",
     ControlKind::Button,
     "동영상헤더샘플만들기(3MB)",
     {5205, 6870, 1035, 810},
     17,
     {},
     {},
     TextAlignment::Centre,
     false,
     true},
    {ControlId::Check2, "Check2", ControlKind::CheckBox, "간단히", {210, 480, 915, 180}, 18},
    {ControlId::Image1, "Image1", ControlKind::Image, "", {5685, 60, 480, 480}},
}};

// Twips to pixels at 96 dpi, to the nearest pixel.
constexpr int pixelsFromTwips(int twips) { return (twips * 2 + 15) / 30; }
PixelRect pixelsFromTwips(const TwipRect& place);

const ControlDesign& controlDesign(ControlId id);

// The address a link opens, in full: one without a scheme is reached over https.
std::string webAddressUrl(std::string_view address);

// Whether a control of this kind takes the keyboard focus, and so a place in the tab chain.
constexpr bool takesFocus(ControlKind kind) {
    return kind == ControlKind::TextBox || kind == ControlKind::Button ||
           kind == ControlKind::CheckBox;
}

}  // namespace strovanik::shell
