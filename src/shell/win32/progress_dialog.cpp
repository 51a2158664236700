#include "progress_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "wide_text.h"

namespace strovanik::shell::win32 {

namespace {

HWND addControl(HWND dialog, const wchar_t* windowClass, const std::wstring& text, DWORD style,
                int id, RECT place) {
    HWND made = CreateWindowExW(
        0, windowClass, text.c_str(), WS_CHILD | WS_VISIBLE | style, place.left, place.top,
        place.right - place.left, place.bottom - place.top, dialog,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
    return made;
}

struct Start {
    ProgressDialog* self;
    const std::wstring* text;
    HWND owner;
};

}  // namespace

INT_PTR CALLBACK ProgressDialog::procedure(HWND dialog, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    auto* self = reinterpret_cast<ProgressDialog*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    switch (message) {
        case WM_INITDIALOG: {
            const auto* start = reinterpret_cast<const Start*>(lParam);
            SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(start->self));
            wchar_t caption[256] = {};
            GetWindowTextW(start->owner, caption, 256);
            SetWindowTextW(dialog, caption);
            const int width = 360;
            const int margin = 12;
            addControl(dialog, L"Static", *start->text, SS_LEFT, kProgressTextId,
                       {margin, margin, width - margin, margin + 20});
            HWND bar = addControl(dialog, PROGRESS_CLASSW, L"", 0, kProgressBarId,
                                  {margin, margin + 28, width - margin, margin + 48});
            SendMessageW(bar, PBM_SETRANGE32, 0, 100);
            addControl(dialog, L"Button", L"취소", WS_TABSTOP | BS_DEFPUSHBUTTON, IDCANCEL,
                       {width - margin - 90, margin + 60, width - margin, margin + 88});
            RECT frame{0, 0, width, margin + 100};
            AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)),
                               FALSE, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
            RECT owner{};
            GetWindowRect(start->owner, &owner);
            const int w = frame.right - frame.left;
            const int h = frame.bottom - frame.top;
            SetWindowPos(dialog, nullptr, (owner.left + owner.right - w) / 2,
                         (owner.top + owner.bottom - h) / 2, w, h, SWP_NOZORDER);
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL && self != nullptr) self->cancelled_ = true;
            return TRUE;
        case WM_CLOSE:
            if (self != nullptr) self->cancelled_ = true;
            return TRUE;
        default:
            return FALSE;
    }
}

ProgressDialog::ProgressDialog(HWND owner, std::string_view text) : owner_(owner) {
    // An empty dialog template: the controls are made in WM_INITDIALOG.
    std::vector<WORD> dialogTemplate(16, 0);
    auto* header = reinterpret_cast<DLGTEMPLATE*>(dialogTemplate.data());
    header->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    header->cx = 200;
    header->cy = 60;
    const std::wstring wide = toWide(text);
    Start start{this, &wide, owner};
    dialog_ = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), header, owner, procedure,
                                         reinterpret_cast<LPARAM>(&start));
    // Modal while it is up: the window takes no clicks and no keys meanwhile.
    EnableWindow(owner_, FALSE);
    ShowWindow(dialog_, SW_SHOW);
    UpdateWindow(dialog_);
}

ProgressDialog::~ProgressDialog() {
    EnableWindow(owner_, TRUE);
    DestroyWindow(dialog_);
    SetActiveWindow(owner_);
}

bool ProgressDialog::advance(int percent) {
    SendDlgItemMessageW(dialog_, kProgressBarId, PBM_SETPOS,
                        static_cast<WPARAM>(std::clamp(percent, 0, 100)), 0);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // The quit is for the loop that runs the window: it gets it back.
            PostQuitMessage(static_cast<int>(message.wParam));
            cancelled_ = true;
            break;
        }
        if (IsDialogMessageW(dialog_, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return !cancelled_;
}

}  // namespace strovanik::shell::win32
