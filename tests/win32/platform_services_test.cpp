// The Windows services behind the port, each the real one: the message box and the save
// dialog answered on the screen as a user would, the clipboard, and the browser start.
#include "platform_services.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>

#include "container/text_encoding.h"
#include "shell/form1_commands.h"
#include "shell/form_design.h"
#include "support/avi_writer.h"
#include "wide_text.h"
#include "window_test_support.h"

namespace strovanik::testing::win32 {
namespace {

using shell::win32::toUtf8;
using shell::win32::toWide;
namespace win32 = shell::win32;

// Control identifiers of the common file dialog.
constexpr int kFileNameCombo = 0x47C;  // cmb13, the name box of the Explorer-style dialog
constexpr int kFileNameEdit = 0x480;   // edt1, the name box of the older dialog
constexpr int kFileTypeCombo = 0x470;  // cmb1

HWND fileNameBox(HWND dialog) {
    if (HWND combo = GetDlgItem(dialog, kFileNameCombo); combo != nullptr) {
        if (HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr); edit != nullptr)
            return edit;
        return combo;
    }
    return GetDlgItem(dialog, kFileNameEdit);
}

class PlatformServicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(form_.create(GetModuleHandleW(nullptr)));
        form_.show(SW_SHOWNORMAL);
    }
    win32::Form1 form_;
    TempFolder folder_;
};

TEST_F(PlatformServicesTest, MessageBoxHasTheTextTheTitleAndOnlyAnOkButton) {
    const std::string text = "ASF형식입니다. ASF파일의정보는 알수없습니다";
    std::wstring shownText;
    std::vector<int> buttons;
    int visibleIcons = -1;
    std::atomic<bool> found{false};
    {
        DialogAnswerer answerer([&] {
            HWND box = waitForDialog(GetCurrentProcessId(), L"Strovanik");
            if (box == nullptr) return;
            found = true;
            visibleIcons = 0;
            for (HWND child : childrenOfClass(box, L"Static")) {
                const auto style = GetWindowLongPtrW(child, GWL_STYLE);
                if ((style & SS_TYPEMASK) == SS_ICON) {
                    if (SendMessageW(child, STM_GETICON, 0, 0) != 0) ++visibleIcons;
                } else if (!windowText(child).empty()) {
                    shownText = windowText(child);
                }
            }
            for (HWND button : childrenOfClass(box, L"Button"))
                buttons.push_back(GetDlgCtrlID(button));
            pressDialogButton(box, IDOK);
        });
        form_.showMessage(text);  // returns once the box was answered
    }
    ASSERT_TRUE(found) << "no message box titled Strovanik appeared";
    EXPECT_EQ(toUtf8(shownText), text);
    EXPECT_EQ(buttons, std::vector<int>{IDOK});
    EXPECT_EQ(visibleIcons, 0);
}

TEST_F(PlatformServicesTest, SaveDialogProposesTheNameStartsInTheFolderAndAsksBeforeReplacing) {
    const std::filesystem::path existing = folder_.path() / L"보고서.txt";
    writeFile(existing, Bytes{'o', 'l', 'd'});
    const shell::FileDialogRequest request{
        container::pathToUtf8(folder_.path()) + "\\", std::string(shell::kSaveDialogTitle),
        std::string(shell::kSaveDialogFilter), "clip.avinfo.txt"};
    std::wstring proposed;
    std::vector<std::wstring> types;
    bool asked = false;
    std::optional<std::string> chosen;
    {
        DialogAnswerer answerer([&] {
            const std::wstring title = toWide(shell::kSaveDialogTitle);
            HWND dialog = waitForDialog(GetCurrentProcessId(), title);
            if (dialog == nullptr) return;
            HWND name = fileNameBox(dialog);
            proposed = textThroughMessages(name);
            HWND typeList = GetDlgItem(dialog, kFileTypeCombo);
            const auto count = SendMessageW(typeList, CB_GETCOUNT, 0, 0);
            for (LRESULT i = 0; i < count; ++i) {
                std::wstring item(
                    static_cast<std::size_t>(SendMessageW(typeList, CB_GETLBTEXTLEN, i, 0)) + 1,
                    L'\0');
                SendMessageW(typeList, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
                item.resize(wcslen(item.c_str()));
                types.push_back(item);
            }
            // A bare name: it lands in the folder the dialog started in.
            SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"보고서.txt"));
            pressDialogButton(dialog, IDOK);
            // The file is there already: the dialog asks, and the answer is yes.
            HWND question =
                waitForDialog(GetCurrentProcessId(), title, std::chrono::seconds(10), {dialog});
            if (question != nullptr) {
                asked = true;
                pressDialogButton(question, IDYES);
            }
        });
        chosen = form_.askSavePath(request);
    }
    EXPECT_EQ(proposed, L"clip.avinfo.txt");
    EXPECT_EQ(types, (std::vector<std::wstring>{L"문서 파일(*.TXT)", L"모든 파일(*.*)"}));
    EXPECT_TRUE(asked) << "replacing a file must be confirmed";
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(std::filesystem::path(toWide(*chosen)), existing);
}

TEST_F(PlatformServicesTest, CancelledOpenDialogGivesNothing) {
    std::atomic<bool> found{false};
    std::optional<std::string> chosen = "not asked";
    {
        DialogAnswerer answerer([&] {
            HWND dialog = waitForDialog(GetCurrentProcessId(), toWide(shell::kOpenDialogTitle));
            if (dialog == nullptr) return;
            found = true;
            pressDialogButton(dialog, IDCANCEL);
        });
        chosen = form_.askOpenPath(
            {"", std::string(shell::kOpenDialogTitle), std::string(shell::kOpenDialogFilter), ""});
    }
    EXPECT_TRUE(found);
    EXPECT_FALSE(chosen.has_value());
}

TEST(DialogFilterList, AlternatesDescriptionsAndPatternsBetweenNuls) {
    using namespace std::string_literals;
    EXPECT_EQ(win32::dialogFilterList(shell::kOpenDialogFilter),
              L"AVI 파일(*.avi)\0*.avi\0모든 파일(*.*)\0*.*\0\0"s);
    EXPECT_EQ(win32::dialogFilterList(""), L"\0"s);
}

TEST(Clipboard, HoldsTheCopiedTextAndAnEmptyOne) {
    for (const std::string& text : {std::string("첫 줄\r\n둘째 줄\r\n"), std::string()}) {
        ASSERT_TRUE(win32::copyToClipboard(nullptr, text));
        ASSERT_TRUE(OpenClipboard(nullptr));
        HANDLE data = GetClipboardData(CF_UNICODETEXT);
        std::wstring copied =
            data != nullptr ? static_cast<const wchar_t*>(GlobalLock(data)) : L"?";
        if (data != nullptr) GlobalUnlock(data);
        CloseClipboard();
        EXPECT_EQ(copied, toWide(text));
    }
}

TEST(Browser, StartsWithTheUnquotedPathOneSpaceAndTheAddressMaximised) {
    TempFolder folder;
    // A folder with a blank in its name, like "Program Files".
    const std::filesystem::path browserFolder = folder / "Program Files";
    std::filesystem::create_directories(browserFolder);
    const std::filesystem::path browser = browserFolder / "iexplore.exe";
    std::filesystem::copy_file(besideTestProgram(toWide(STROVANIK_RECORDER_FROM_TESTS)), browser);

    ASSERT_TRUE(win32::startBrowser(browser.wstring(), "https://www.debian.org"));
    const std::filesystem::path record = browserFolder / "arguments.txt";
    for (int i = 0; i < 200 && !std::filesystem::exists(record); ++i) Sleep(50);
    ASSERT_TRUE(std::filesystem::exists(record)) << "the browser never started";
    std::ifstream in(record, std::ios::binary);
    std::string commandLine;
    std::string show;
    std::getline(in, commandLine);
    std::getline(in, show);
    EXPECT_EQ(commandLine, toUtf8(browser.wstring()) + " https://www.debian.org");
    EXPECT_EQ(show, std::to_string(SW_SHOWMAXIMIZED));
}

TEST(Browser, MissingProgramIsReportedNotThrown) {
    EXPECT_FALSE(win32::startBrowser(L"C:\\no such folder\\iexplore.exe", "https://example.org"));
}

}  // namespace
}  // namespace strovanik::testing::win32
