#pragma once

#include <windows.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "form1.h"

// What the window tests share: a Form1 whose dialogs answer from queues, and a helper that
// finds a dialog on the screen and answers it from another thread, as a user would.
namespace strovanik::testing::win32 {

using shell::win32::Form1;

// The real window with its message box and file dialogs answered from queues (an empty
// queue answers as a cancel) and its links recorded instead of opened.
class AnsweringForm1 final : public Form1 {
public:
    void showMessage(std::string_view text) override { messages.emplace_back(text); }
    std::optional<std::string> askOpenPath(const shell::FileDialogRequest& request) override {
        openRequests.push_back(request);
        return next(openAnswers);
    }
    std::optional<std::string> askSavePath(const shell::FileDialogRequest& request) override {
        saveRequests.push_back(request);
        return next(saveAnswers);
    }
    void openAddress(std::string_view address) override { addresses.emplace_back(address); }

    std::vector<std::string> messages;
    std::vector<shell::FileDialogRequest> openRequests;
    std::vector<shell::FileDialogRequest> saveRequests;
    std::deque<std::optional<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::vector<std::string> addresses;

private:
    static std::optional<std::string> next(std::deque<std::optional<std::string>>& answers) {
        if (answers.empty()) return std::nullopt;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

std::wstring windowText(HWND window);
std::wstring className(HWND window);
// A control's text, read as another program would (WM_GETTEXT).
std::wstring textThroughMessages(HWND window);

// The visible children of `dialog` of a window class ("Button", "Static", ...).
std::vector<HWND> childrenOfClass(HWND dialog, const wchar_t* windowClass);

// Waits up to `limit` for a visible dialog box (#32770) of process `processId` whose title is
// `title` and that is not in `skip`.
HWND waitForDialog(DWORD processId, const std::wstring& title,
                   std::chrono::milliseconds limit = std::chrono::seconds(20),
                   const std::vector<HWND>& skip = {});
// Waits up to `limit` for a visible top-level window of class `windowClass` of the process.
HWND waitForWindow(DWORD processId, const wchar_t* windowClass,
                   std::chrono::milliseconds limit = std::chrono::seconds(30));

// Clicks a dialog's button by its identifier, as a user's click would.
void pressDialogButton(HWND dialog, int buttonId);

// Runs `answer` on a thread of its own while the test's thread sits in a modal dialog.
class DialogAnswerer {
public:
    explicit DialogAnswerer(std::function<void()> answer) : thread_(std::move(answer)) {}
    ~DialogAnswerer() {
        if (thread_.joinable()) thread_.join();
    }
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

private:
    std::thread thread_;
};

// The full path of a file beside the test program.
std::filesystem::path besideTestProgram(const std::wstring& relative);

}  // namespace strovanik::testing::win32
