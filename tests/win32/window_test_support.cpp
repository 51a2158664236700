#include "window_test_support.h"

namespace strovanik::testing::win32 {

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring className(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring textThroughMessages(HWND window) {
    const auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto copied = SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(text.size()),
                                     reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

namespace {

struct ChildSearch {
    std::wstring wanted;
    std::vector<HWND> found;
};

BOOL CALLBACK matchChild(HWND child, LPARAM data) {
    auto* search = reinterpret_cast<ChildSearch*>(data);
    if (IsWindowVisible(child) && _wcsicmp(className(child).c_str(), search->wanted.c_str()) == 0) {
        search->found.push_back(child);
    }
    return TRUE;
}

}  // namespace

std::vector<HWND> childrenOfClass(HWND dialog, const wchar_t* windowClass) {
    ChildSearch search{windowClass, {}};
    EnumChildWindows(dialog, &matchChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

namespace {

struct TopLevelSearch {
    DWORD processId;
    std::wstring windowClass;
    std::optional<std::wstring> title;
    const std::vector<HWND>* skip;
    HWND found = nullptr;
};

BOOL CALLBACK matchTopLevel(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<TopLevelSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
    if (className(window) != search->windowClass) return TRUE;
    if (search->title && windowText(window) != *search->title) return TRUE;
    if (search->skip != nullptr) {
        for (HWND skipped : *search->skip) {
            if (skipped == window) return TRUE;
        }
    }
    search->found = window;
    return FALSE;
}

HWND waitForTopLevel(TopLevelSearch search, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        search.found = nullptr;
        EnumWindows(&matchTopLevel, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) return search.found;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return nullptr;
}

}  // namespace

HWND waitForDialog(DWORD processId, const std::wstring& title, std::chrono::milliseconds limit,
                   const std::vector<HWND>& skip) {
    return waitForTopLevel({processId, L"#32770", title, &skip}, limit);
}

HWND waitForWindow(DWORD processId, const wchar_t* windowClass, std::chrono::milliseconds limit) {
    return waitForTopLevel({processId, windowClass, std::nullopt, nullptr}, limit);
}

void pressDialogButton(HWND dialog, int buttonId) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, buttonId)));
}

std::filesystem::path besideTestProgram(const std::wstring& relative) {
    std::wstring self(32'768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    return std::filesystem::path(self).parent_path() / relative;
}

}  // namespace strovanik::testing::win32
