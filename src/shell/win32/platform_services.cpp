#include "platform_services.h"

#include <windows.h>
// The headers below build on windows.h.
#include <commdlg.h>
#include <shellapi.h>

#include <cstring>
#include <vector>

#include "shell/dialog_filter.h"
#include "shell/form_design.h"
#include "wide_text.h"

namespace strovanik::shell::win32 {

namespace {

// Long enough for any path Windows accepts, the \\?\ ones included.
constexpr DWORD kPathBufferLength = 32'768;

bool isRegularFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

void showMessageBox(HWND owner, std::string_view text) {
    const std::wstring body = toWide(text);
    const std::wstring title = toWide(kApplicationTitle);
    MessageBoxW(owner, body.c_str(), title.c_str(), MB_OK);
}

std::wstring dialogFilterList(std::string_view filter) {
    std::wstring list;
    for (const FilterChoice& choice : parseDialogFilter(filter)) {
        list += toWide(choice.description);
        list += L'\0';
        list += toWide(choice.pattern);
        list += L'\0';
    }
    list += L'\0';
    return list;
}

std::optional<std::string> askFilePath(HWND owner, const FileDialogRequest& request,
                                       FileDialogKind kind) {
    const std::wstring filter = dialogFilterList(request.filter);
    const std::wstring title = toWide(request.title);
    const std::wstring folder = toWide(request.initialFolder);
    std::vector<wchar_t> file(kPathBufferLength, L'\0');
    const std::wstring proposed = toWide(request.proposedName);
    if (proposed.size() < file.size()) std::copy(proposed.begin(), proposed.end(), file.begin());

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = kPathBufferLength;
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.lpstrTitle = title.c_str();
    // The read-only box would do nothing here, and the program keeps its working folder.
    dialog.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    BOOL chosen = FALSE;
    if (kind == FileDialogKind::Open) {
        // No OFN_FILEMUSTEXIST: a typed name that names no file is the commands' to handle.
        chosen = GetOpenFileNameW(&dialog);
    } else {
        dialog.Flags |= OFN_PATHMUSTEXIST;
        if (request.confirmReplace) dialog.Flags |= OFN_OVERWRITEPROMPT;
        chosen = GetSaveFileNameW(&dialog);
    }
    if (!chosen || file[0] == L'\0') return std::nullopt;
    return toUtf8(std::wstring_view(file.data()));
}

bool copyToClipboard(HWND owner, std::string_view text) {
    const std::wstring wide = toWide(text);
    const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr) return false;
    void* target = GlobalLock(memory);
    if (target == nullptr) {
        GlobalFree(memory);
        return false;
    }
    std::memcpy(target, wide.c_str(), bytes);
    GlobalUnlock(memory);

    // Another program may hold the clipboard for a moment; a few short tries get past that.
    bool opened = false;
    for (int attempt = 0; attempt < 10 && !opened; ++attempt) {
        opened = OpenClipboard(owner) != FALSE;
        if (!opened) Sleep(20);
    }
    if (!opened) {
        GlobalFree(memory);
        return false;
    }
    EmptyClipboard();
    const bool placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    // Once placed, the memory belongs to the clipboard.
    if (!placed) GlobalFree(memory);
    return placed;
}

bool startBrowser(std::wstring_view browserPath, std::string_view address) {
    const std::wstring program(browserPath);
    std::wstring commandLine = program + L" " + toWide(address);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMAXIMIZED;
    PROCESS_INFORMATION process{};
    // The program is named on its own as well: in the command line its path stays unquoted,
    // and "C:\Program Files\..." would otherwise be looked for as "C:\Program" first.
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

void openWebAddress(std::string_view address) {
    const std::wstring browser(kBrowserPath);
    if (isRegularFile(browser) && startBrowser(browser, address)) return;
    const std::wstring target = toWide(address);
    ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace strovanik::shell::win32
