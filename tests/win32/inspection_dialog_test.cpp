#include "inspection_dialog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/command_run.h"
#include "container/text_encoding.h"
#include "support/avi_writer.h"
#include "wide_text.h"
#include "window_test_support.h"

// The file check in the real window: Ctrl+I opens the dialog, whose text is what
// strovanik-report --check prints for the same file, and Enter or Escape closes it.
namespace strovanik::testing::win32 {
namespace {

using shell::ControlId;
using shell::win32::toWide;

// Ctrl+I as the message loop sees it, with Ctrl held for this thread. Returns when the
// check's dialog, if any, has closed.
void pressCtrlI(Form1& form) {
    BYTE keys[256];
    GetKeyboardState(keys);
    const BYTE control = keys[VK_CONTROL];
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    MSG message{form.control(ControlId::Text1), WM_KEYDOWN, 'I', 0, 0, {}};
    EXPECT_TRUE(Form1::translateShortcut(form.hwnd(), message));
    GetKeyboardState(keys);
    keys[VK_CONTROL] = control;
    SetKeyboardState(keys);
}

TEST(InspectionDialog, CtrlIShowsWhatCheckPrintsAndEnterOrEscapeClosesIt) {
    TempFolder folder;
    const Bytes damaged = buildAvi({});  // 250 frames counted over an index of one
    const struct {
        const char* name;
        Bytes bytes;
        bool english;
        WPARAM closeKey;
    } cases[] = {
        {"damaged.avi", damaged, false, VK_RETURN},
        {"cut.avi", Bytes(damaged.begin(), damaged.begin() + 200), true, VK_ESCAPE},
    };
    for (const auto& c : cases) {
        const std::filesystem::path path = folder.path() / c.name;
        writeFile(path, c.bytes);
        const std::string utf8 = container::pathToUtf8(path);
        AnsweringForm1 form;
        ASSERT_TRUE(form.create(GetModuleHandleW(nullptr)));
        form.show(SW_SHOWNORMAL);
        form.startUp(utf8);
        ASSERT_TRUE(form.fileCommandsEnabled());
        if (c.english) SendMessageW(form.control(ControlId::Check1), BM_CLICK, 0, 0);
        std::vector<std::string> args = {"--check", utf8};
        if (c.english) args = {"--check", "--layout", "english", utf8};
        const std::wstring expected = toWide(withCrLf(runInProcess(args).out));
        ASSERT_FALSE(expected.empty());

        std::wstring shown;
        HWND focused = nullptr;
        HWND textBox = nullptr;
        HWND dialog = nullptr;
        bool closedByKey = false;
        {
            DialogAnswerer answerer([&] {
                dialog = waitForDialog(GetCurrentProcessId(), L"파일 점검 - " + toWide(c.name),
                                       std::chrono::seconds(10));
                if (dialog == nullptr) return;
                textBox = GetDlgItem(dialog, shell::win32::kInspectionTextId);
                shown = textThroughMessages(textBox);
                GUITHREADINFO thread{};
                thread.cbSize = sizeof thread;
                if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &thread))
                    focused = thread.hwndFocus;
                // Ctrl is let go before the next key, as a hand lets it go.
                const DWORD dialogThread = GetWindowThreadProcessId(dialog, nullptr);
                if (AttachThreadInput(GetCurrentThreadId(), dialogThread, TRUE)) {
                    BYTE keys[256];
                    GetKeyboardState(keys);
                    keys[VK_CONTROL] = 0;
                    SetKeyboardState(keys);
                    AttachThreadInput(GetCurrentThreadId(), dialogThread, FALSE);
                }
                PostMessageW(textBox, WM_KEYDOWN, c.closeKey, 0);
                for (int i = 0; i < 40 && IsWindow(dialog); ++i) Sleep(50);
                closedByKey = !IsWindow(dialog);
                // A dialog the key left open is closed all the same, so the test goes on.
                if (!closedByKey) pressDialogButton(dialog, IDCANCEL);
            });
            pressCtrlI(form);
        }
        ASSERT_NE(dialog, nullptr) << c.name;
        EXPECT_EQ(shown, expected) << c.name;
        EXPECT_EQ(focused, textBox) << "the text has the keyboard when the dialog opens";
        EXPECT_TRUE(closedByKey) << c.name << ": Enter and Escape close it";
    }
}

TEST(InspectionDialog, WithoutAnAviFileCtrlIDoesNothing) {
    TempFolder folder;
    const std::filesystem::path asf = folder.path() / "clip.asf";
    writeFile(asf, {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9});
    for (const bool loaded : {false, true}) {
        AnsweringForm1 form;
        ASSERT_TRUE(form.create(GetModuleHandleW(nullptr)));
        form.show(SW_SHOWNORMAL);
        form.startUp(loaded ? container::pathToUtf8(asf) : std::string());
        EXPECT_FALSE(form.fileCommandsEnabled());
        // Were a dialog to open, this would wait in it: the key returns at once instead.
        pressCtrlI(form);
        EXPECT_EQ(waitForDialog(GetCurrentProcessId(), L"파일 점검 - clip.asf",
                                std::chrono::milliseconds(300)),
                  nullptr);
    }
}

}  // namespace
}  // namespace strovanik::testing::win32
