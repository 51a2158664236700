// The real Form1 on the screen: its design, and its commands clicked through window messages.
#include "form1.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "container/container_kind.h"
#include "container/text_encoding.h"
#include "report/analysis.h"
#include "shell/form1_commands.h"
#include "support/avi_writer.h"
#include "wide_text.h"
#include "window_test_support.h"

namespace strovanik::testing::win32 {
namespace {

using report::ReportLayout;
using shell::CheckBox;
using shell::ControlDesign;
using shell::ControlId;
using shell::ControlKind;
using shell::kForm1Controls;
using shell::win32::toUtf8;
using shell::win32::toWide;

std::string utf8Path(const std::filesystem::path& path) { return container::pathToUtf8(path); }

class Form1Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(form_.create(GetModuleHandleW(nullptr)));
        form_.show(SW_SHOWNORMAL);
    }

    HWND control(ControlId id) const { return form_.control(id); }
    int scaled(int pixels) const { return MulDiv(pixels, form_.dpi(), 96); }

    // A click as the mouse makes it: buttons and check boxes through BM_CLICK, the links
    // through the press and release that make a label notify its window.
    void click(ControlId id) {
        HWND target = control(id);
        if (className(target) == L"Button") {
            SendMessageW(target, BM_CLICK, 0, 0);
        } else {
            SendMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
            SendMessageW(target, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        }
    }

    // The clipboard's Unicode text, empty when it has none.
    static std::wstring clipboardText() {
        std::wstring text;
        if (!OpenClipboard(nullptr)) return text;
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT); data != nullptr) {
            text = static_cast<const wchar_t*>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
        return text;
    }

    // Text1 as the user sees it, read from the edit box itself.
    std::string shownReport() const { return toUtf8(windowText(control(ControlId::Text1))); }

    std::filesystem::path writeAvi(const std::string& name, const AviPlan& plan = {}) {
        const std::filesystem::path path = folder_.path() / container::pathFromUtf8(name);
        writeFile(path, buildAvi(plan));
        return path;
    }

    static std::string expectedReport(const std::filesystem::path& path, ReportLayout layout) {
        const std::string text = utf8Path(path);
        return report::analyseFile(text, report::bareFileName(text), layout).report;
    }

    TempFolder folder_;
    AnsweringForm1 form_;
};

// ---- the design ----

TEST_F(Form1Test, FrameIsFixedWithTheDesignedClientAreaInTheMiddleOfTheScreen) {
    RECT client;
    GetClientRect(form_.hwnd(), &client);
    EXPECT_EQ(client.right, scaled(426));
    EXPECT_EQ(client.bottom, scaled(524));

    const auto style = static_cast<DWORD>(GetWindowLongPtrW(form_.hwnd(), GWL_STYLE));
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_THICKFRAME) << "the frame must not be resizable";
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);

    RECT frame;
    GetWindowRect(form_.hwnd(), &frame);
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR((frame.left + frame.right) / 2.0, (work.left + work.right) / 2.0, 1.0);
    EXPECT_NEAR((frame.top + frame.bottom) / 2.0, (work.top + work.bottom) / 2.0, 1.0);

    EXPECT_NE(SendMessageW(form_.hwnd(), WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(SendMessageW(form_.hwnd(), WM_GETICON, ICON_SMALL, 0), 0);
}

TEST_F(Form1Test, EveryControlHasItsDesignedPlaceAndCaption) {
    for (const ControlDesign& design : kForm1Controls) {
        SCOPED_TRACE(std::string(design.name));
        HWND window = control(design.id);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(GetParent(window), form_.hwnd());
        RECT place;
        GetWindowRect(window, &place);
        MapWindowPoints(nullptr, form_.hwnd(), reinterpret_cast<POINT*>(&place), 2);
        const shell::PixelRect want = shell::pixelsFromTwips(design.place);
        EXPECT_EQ(place.left, scaled(want.left));
        EXPECT_EQ(place.top, scaled(want.top));
        EXPECT_EQ(place.right - place.left, scaled(want.width));
        EXPECT_EQ(place.bottom - place.top, scaled(want.height));
        if (design.kind != ControlKind::Banner && design.kind != ControlKind::Image) {
            EXPECT_EQ(toUtf8(windowText(window)), design.caption);
        }
    }
}

TEST_F(Form1Test, ControlKindsAreTheNativeOnes) {
    const std::map<ControlKind, std::wstring> classes = {
        {ControlKind::TextBox, L"Edit"},          {ControlKind::Label, L"Static"},
        {ControlKind::LinkLabel, L"Static"},      {ControlKind::Button, L"Button"},
        {ControlKind::CheckBox, L"Button"},       {ControlKind::Image, L"Static"},
        {ControlKind::Banner, L"StrovanikBanner"}};
    for (const ControlDesign& design : kForm1Controls) {
        SCOPED_TRACE(std::string(design.name));
        HWND window = control(design.id);
        EXPECT_EQ(className(window), classes.at(design.kind));
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
        if (design.kind == ControlKind::CheckBox) {
            EXPECT_EQ(style & BS_TYPEMASK, static_cast<DWORD>(BS_AUTOCHECKBOX));
        }
        if (design.kind == ControlKind::Button) {
            EXPECT_EQ(style & BS_TYPEMASK, static_cast<DWORD>(BS_PUSHBUTTON));
        }
        if (design.kind == ControlKind::TextBox) {
            EXPECT_TRUE(style & ES_MULTILINE);
            EXPECT_TRUE(style & WS_VSCROLL);
            EXPECT_TRUE(style & WS_HSCROLL);
        }
        EXPECT_EQ((style & WS_TABSTOP) != 0, shell::takesFocus(design.kind));
    }
    EXPECT_NE(SendMessageW(control(ControlId::Image1), STM_GETICON, 0, 0), 0);
}

TEST_F(Form1Test, TabKeyVisitsTheControlsInTheDesignedOrder) {
    std::vector<const ControlDesign*> expected;
    for (const ControlDesign& design : kForm1Controls) {
        if (shell::takesFocus(design.kind)) expected.push_back(&design);
    }
    std::sort(expected.begin(), expected.end(),
              [](const auto* a, const auto* b) { return a->tabIndex < b->tabIndex; });
    ASSERT_EQ(expected.front()->id, ControlId::Text1);

    HWND current = control(ControlId::Text1);
    for (std::size_t i = 1; i <= expected.size(); ++i) {
        current = GetNextDlgTabItem(form_.hwnd(), current, FALSE);
        const ControlDesign& want = *expected[i % expected.size()];
        EXPECT_EQ(current, control(want.id)) << "stop " << i << " should be " << want.name;
    }
}

TEST_F(Form1Test, FontsAreTheKoreanFontAtTheDesignedSizes) {
    for (const ControlDesign& design : kForm1Controls) {
        if (design.kind == ControlKind::Banner || design.kind == ControlKind::Image) continue;
        SCOPED_TRACE(std::string(design.name));
        auto font = reinterpret_cast<HFONT>(SendMessageW(control(design.id), WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr);
        LOGFONTW logFont{};
        ASSERT_EQ(GetObjectW(font, sizeof logFont, &logFont), static_cast<int>(sizeof logFont));
        const std::wstring face(logFont.lfFaceName);
        if (design.font.fixedPitch) {
            // The first fixed-pitch Korean font installed, or none for the font mapper.
            const auto& families = shell::kFixedPitchKoreanFontFamilies;
            EXPECT_TRUE(face.empty() ||
                        std::any_of(families.begin(), families.end(),
                                    [&](std::string_view name) { return toWide(name) == face; }))
                << toUtf8(face);
            EXPECT_EQ(logFont.lfPitchAndFamily & 3, FIXED_PITCH);
        } else {
            EXPECT_EQ(face, L"굴림");
        }
        EXPECT_EQ(logFont.lfCharSet, HANGEUL_CHARSET);
        const double points = design.font.points > 0 ? design.font.points : 9.0;
        EXPECT_EQ(logFont.lfHeight, -std::lround(points * form_.dpi() / 72.0));
        EXPECT_EQ(logFont.lfWeight >= FW_BOLD, design.font.bold);
        EXPECT_EQ(logFont.lfUnderline != 0, design.font.underline);
    }
}

TEST_F(Form1Test, LinksAreColouredAndShowTheHandCursor) {
    HDC dc = CreateCompatibleDC(nullptr);
    HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
    for (const ControlDesign& design : kForm1Controls) {
        if (design.kind != ControlKind::LinkLabel && design.kind != ControlKind::Label) continue;
        SCOPED_TRACE(std::string(design.name));
        HWND label = control(design.id);
        SetTextColor(dc, RGB(1, 2, 3));
        SendMessageW(form_.hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(label));
        const bool link = design.kind == ControlKind::LinkLabel;
        ASSERT_EQ(design.textColour.has_value(), link);
        if (link) {
            EXPECT_EQ(GetTextColor(dc), RGB(design.textColour->red, design.textColour->green,
                                            design.textColour->blue));
        } else {
            EXPECT_EQ(GetTextColor(dc), GetSysColor(COLOR_WINDOWTEXT));
        }
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        const LRESULT handled =
            SendMessageW(form_.hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(label),
                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(handled != FALSE && GetCursor() == hand, link);
    }
    DeleteDC(dc);
    EXPECT_EQ(shell::controlDesign(ControlId::Label3).textColour->blue, 255);
}

TEST_F(Form1Test, BannerCoversTheTitleLabelsAndThePicture) {
    for (ControlId covered : {ControlId::Label1, ControlId::Label2, ControlId::Image1}) {
        RECT place;
        GetWindowRect(control(covered), &place);
        POINT middle{(place.left + place.right) / 2, (place.top + place.bottom) / 2};
        ScreenToClient(form_.hwnd(), &middle);
        EXPECT_EQ(ChildWindowFromPointEx(form_.hwnd(), middle, CWP_SKIPINVISIBLE),
                  control(ControlId::ShockwaveFlash1));
    }
}

// ---- start-up and the commands ----

TEST_F(Form1Test, StartWithoutAFileShowsTheCaptionAndAnEmptyReport) {
    form_.startUp("");
    EXPECT_EQ(toUtf8(windowText(form_.hwnd())), "Strovanik v1.75^^");
    EXPECT_EQ(shownReport(), "");
    EXPECT_TRUE(form_.isChecked(CheckBox::Check1));
    EXPECT_FALSE(form_.isChecked(CheckBox::Check2));
    EXPECT_TRUE(IsWindowEnabled(control(ControlId::Check2)));
    EXPECT_TRUE(form_.messages.empty());
}

TEST_F(Form1Test, StartWithAnAviShowsItsKoreanReport) {
    const auto path = writeAvi("clip.avi");
    form_.startUp(utf8Path(path));
    const std::string want = expectedReport(path, ReportLayout::KoreanDetailed);
    ASSERT_FALSE(want.empty());
    EXPECT_EQ(shownReport(), want);
    EXPECT_EQ(form_.reportText(), want);
    EXPECT_EQ(form_.state().fileName, "clip.avi");
}

TEST_F(Form1Test, StartWithAnAsfFileShowsItsMessageAndNoReport) {
    const std::filesystem::path path = folder_ / "talk.asf";
    writeFile(path, Bytes{0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA,
                          0x00, 0x62, 0xCE, 0x6C});
    form_.startUp(utf8Path(path));
    ASSERT_EQ(form_.messages.size(), 1u);
    EXPECT_EQ(form_.messages[0], container::refusalMessage(container::ContainerKind::Asf));
    EXPECT_EQ(shownReport(), "");
}

TEST_F(Form1Test, CheckBoxesSwitchTheLayoutOfTheShownReport) {
    const auto path = writeAvi("clip.avi");
    form_.startUp(utf8Path(path));

    struct Step {
        ControlId clicked;
        ReportLayout layout;
        bool check2Enabled;
    };
    const Step steps[] = {
        {ControlId::Check1, ReportLayout::English, false},
        {ControlId::Check1, ReportLayout::KoreanDetailed, true},
        {ControlId::Check2, ReportLayout::KoreanBrief, true},
        {ControlId::Check1, ReportLayout::English, false},  // Check2 stays checked, disabled
        {ControlId::Check1, ReportLayout::KoreanBrief, true},
        {ControlId::Check2, ReportLayout::KoreanDetailed, true},
    };
    for (const Step& step : steps) {
        click(step.clicked);
        EXPECT_EQ(shownReport(), expectedReport(path, step.layout))
            << "layout " << static_cast<int>(step.layout);
        EXPECT_EQ(IsWindowEnabled(control(ControlId::Check2)) != FALSE, step.check2Enabled);
    }
}

TEST_F(Form1Test, OpenCommandLoadsAFileWithAKoreanName) {
    form_.startUp("");
    const auto path = writeAvi("내 영화.avi");
    form_.openAnswers.push_back(utf8Path(path));
    click(ControlId::Command1);

    ASSERT_EQ(form_.openRequests.size(), 1u);
    EXPECT_EQ(form_.openRequests[0].title, shell::kOpenDialogTitle);
    EXPECT_EQ(form_.openRequests[0].filter, shell::kOpenDialogFilter);
    EXPECT_EQ(form_.openRequests[0].initialFolder, "");
    EXPECT_EQ(shownReport(), expectedReport(path, ReportLayout::KoreanDetailed));
    EXPECT_NE(shownReport().find("내 영화.avi"), std::string::npos);

    // The next dialog starts in the file's folder; a cancel there changes nothing.
    click(ControlId::Command1);
    ASSERT_EQ(form_.openRequests.size(), 2u);
    EXPECT_EQ(form_.openRequests[1].initialFolder, utf8Path(folder_.path()) + "\\");
    EXPECT_EQ(shownReport(), expectedReport(path, ReportLayout::KoreanDetailed));
}

TEST_F(Form1Test, SaveWritesTheShownReportInTheAnsiCodePageWithALineBreak) {
    const auto path = writeAvi("clip.avi");
    form_.startUp(utf8Path(path));
    struct Case {
        std::string name;
        bool existsBefore;
    };
    for (const Case& c : {Case{"clip.avinfo.txt", false}, Case{"보고서.txt", true}}) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path target = folder_.path() / container::pathFromUtf8(c.name);
        if (c.existsBefore) writeFile(target, Bytes(5000, 'x'));
        form_.saveAnswers.push_back(utf8Path(target));
        click(ControlId::Command2);

        const shell::FileDialogRequest& request = form_.saveRequests.back();
        EXPECT_EQ(request.title, shell::kSaveDialogTitle);
        EXPECT_EQ(request.filter, shell::kSaveDialogFilter);
        EXPECT_EQ(request.proposedName, "clip.avinfo.txt");
        EXPECT_EQ(request.initialFolder, utf8Path(folder_.path()) + "\\");

        const std::string text = shownReport() + "\r\n";
        // The ANSI code page when it can hold the Korean report (949, or UTF-8), else CP949.
        const std::string want = GetACP() == CP_UTF8 ? text : container::encodeCp949(text);
        const Bytes saved = readFile(target);
        EXPECT_EQ(std::string(saved.begin(), saved.end()), want);
        ASSERT_GE(saved.size(), 3u);
        EXPECT_FALSE(saved[0] == 0xEF && saved[1] == 0xBB && saved[2] == 0xBF) << "no BOM";
    }
    EXPECT_TRUE(form_.messages.empty());
}

TEST_F(Form1Test, CancelledSaveWritesNothing) {
    const auto path = writeAvi("clip.avi");
    form_.startUp(utf8Path(path));
    form_.saveAnswers.push_back(std::nullopt);
    click(ControlId::Command2);
    EXPECT_EQ(form_.saveRequests.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(folder_ / "clip.avinfo.txt"));
}

TEST_F(Form1Test, CopyPutsTheShownReportOnTheClipboardAsUnicodeText) {
    const auto path = writeAvi("clip.avi");
    form_.startUp(utf8Path(path));
    click(ControlId::Command4);
    EXPECT_EQ(clipboardText(), toWide(expectedReport(path, ReportLayout::KoreanDetailed)));
}

TEST_F(Form1Test, EnterPressesTheFocusedButtonAsTheDialogKeysDo) {
    const auto path = writeAvi("clip.avi");
    form_.startUp(utf8Path(path));
    const auto pressEnterOn = [&](ControlId id) {
        SetFocus(control(id));
        MSG message{control(id), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
        IsDialogMessageW(form_.hwnd(), &message);
    };
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    pressEnterOn(ControlId::Check1);
    EXPECT_EQ(SendMessageW(control(ControlId::Check1), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_NE(clipboardText(), toWide(expectedReport(path, ReportLayout::KoreanDetailed)));
    pressEnterOn(ControlId::Command4);
    EXPECT_EQ(clipboardText(), toWide(expectedReport(path, ReportLayout::KoreanDetailed)));
    HWND window = form_.hwnd();
    pressEnterOn(ControlId::Command3);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(Form1Test, LinkLabelsOpenTheirOwnAddresses) {
    form_.startUp("");
    const ControlId links[] = {ControlId::Label3, ControlId::Label6, ControlId::Label8,
                               ControlId::Label10};
    for (ControlId link : links) click(link);
    click(ControlId::Label5);  // a heading, not a link
    ASSERT_EQ(form_.addresses.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(form_.addresses[i], shell::webAddressUrl(shell::controlDesign(links[i]).caption));
    }
}

TEST_F(Form1Test, HeaderSampleWithoutAFileAsksForOneFirst) {
    form_.startUp("");
    click(ControlId::Command5);
    ASSERT_EQ(form_.messages.size(), 1u);
    EXPECT_EQ(form_.messages[0], shell::kMessageOpenFileFirst);
}

TEST_F(Form1Test, ExitButtonClosesTheWindow) {
    form_.startUp("");
    HWND window = form_.hwnd();
    click(ControlId::Command3);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(form_.hwnd(), nullptr);
}

}  // namespace
}  // namespace strovanik::testing::win32
