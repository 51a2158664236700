#pragma once

#include <windows.h>

#include <string_view>

// The progress dialog of a long task on Windows: the task's text, a bar and 취소 (cancel), modal
// to its owner while the task runs on the window's thread, which lets the dialog handle its
// messages each time the bar moves.
namespace strovanik::shell::win32 {

// The identifiers of the dialog's controls, for the window tests.
inline constexpr int kProgressTextId = 121;
inline constexpr int kProgressBarId = 122;

class ProgressDialog {
public:
    ProgressDialog(HWND owner, std::string_view text);
    ~ProgressDialog();
    ProgressDialog(const ProgressDialog&) = delete;
    ProgressDialog& operator=(const ProgressDialog&) = delete;

    // Moves the bar to `percent` and handles the messages waiting; false once 취소, Escape or
    // the close box was pressed.
    bool advance(int percent);
    HWND window() const { return dialog_; }

private:
    static INT_PTR CALLBACK procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    HWND owner_;
    HWND dialog_ = nullptr;
    bool cancelled_ = false;
};

}  // namespace strovanik::shell::win32
