// The real program, started as Windows starts it: the command line's file is analysed before
// the window shows, and a message for a file of another kind comes first.
#include <gtest/gtest.h>
#include <windows.h>

#include "container/container_kind.h"
#include "container/text_encoding.h"
#include "form1.h"
#include "report/analysis.h"
#include "support/avi_writer.h"
#include "wide_text.h"
#include "window_test_support.h"

namespace strovanik::testing::win32 {
namespace {

using shell::ControlId;
using shell::win32::toUtf8;
using shell::win32::toWide;

// The program under test, started with `arguments` after its quoted name, and ended (if it
// is still running) when the test is done with it.
class RunningProgram {
public:
    explicit RunningProgram(const std::wstring& arguments) {
        const std::filesystem::path program =
            besideTestProgram(toWide(STROVANIK_PROGRAM_FROM_TESTS));
        std::wstring commandLine = L"\"" + program.wstring() + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        started_ = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                  nullptr, nullptr, &startup, &process_) != FALSE;
    }
    ~RunningProgram() {
        if (!started_) return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 1);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool started() const { return started_; }
    DWORD id() const { return process_.dwProcessId; }
    // Waits for the program to end; its exit code, or nothing when it did not end in time.
    std::optional<DWORD> exitCode(DWORD milliseconds) const {
        if (WaitForSingleObject(process_.hProcess, milliseconds) != WAIT_OBJECT_0) {
            return std::nullopt;
        }
        DWORD code = 0;
        GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION process_{};
    bool started_ = false;
};

HWND reportBoxOf(HWND form) {
    return GetDlgItem(form, shell::win32::Form1::commandIdOf(ControlId::Text1));
}

TEST(Program, QuotedPathWithBlanksAndHangulOpensWithItsReport) {
    TempFolder folder;
    // Built from wide text: a narrow name would pass through the ANSI code page.
    const std::filesystem::path movies = folder.path() / L"내 영화";
    std::filesystem::create_directories(movies);
    const std::filesystem::path avi = movies / L"클립 1.avi";
    writeFile(avi, buildAvi({}));

    RunningProgram program(L"\"" + avi.wstring() + L"\"");
    ASSERT_TRUE(program.started());
    HWND form = waitForWindow(program.id(), shell::win32::Form1::className());
    ASSERT_NE(form, nullptr) << "the window never showed";
    EXPECT_EQ(toUtf8(textThroughMessages(form)), "Strovanik v1.75^^");

    const std::string path = container::pathToUtf8(avi);
    const std::string want =
        report::analyseFile(path, "클립 1.avi", report::ReportLayout::KoreanDetailed).report;
    ASSERT_FALSE(want.empty());
    EXPECT_EQ(toUtf8(textThroughMessages(reportBoxOf(form))), want);

    PostMessageW(form, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.exitCode(20'000), std::optional<DWORD>(0));
}

TEST(Program, AsfFileShowsItsMessageBeforeTheWindow) {
    TempFolder folder;
    const std::filesystem::path asf = folder / "talk.asf";
    writeFile(asf, Bytes{0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA});

    RunningProgram program(asf.wstring());
    ASSERT_TRUE(program.started());
    HWND box = waitForDialog(program.id(), L"Strovanik");
    ASSERT_NE(box, nullptr) << "no message box";
    // The window is made but not shown while the message is up.
    EXPECT_EQ(waitForWindow(program.id(), shell::win32::Form1::className(),
                            std::chrono::milliseconds(300)),
              nullptr);
    std::wstring shown;
    for (HWND child : childrenOfClass(box, L"Static")) {
        if (!windowText(child).empty()) shown = windowText(child);
    }
    EXPECT_EQ(toUtf8(shown), container::refusalMessage(container::ContainerKind::Asf));
    pressDialogButton(box, IDOK);

    HWND form = waitForWindow(program.id(), shell::win32::Form1::className());
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(textThroughMessages(reportBoxOf(form)), L"");
    PostMessageW(form, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.exitCode(20'000), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace strovanik::testing::win32
