// Stands in for a web browser in the link tests: writes the command line it was started with
// and the window style it was asked to show, as UTF-8, into "arguments.txt" beside itself.
#include <windows.h>

#include <string>

namespace {

std::string utf8(const std::wstring& wide) {
    const int count = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                          nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(count > 0 ? count : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), count,
                        nullptr, nullptr);
    return text;
}

}  // namespace

int wmain() {
    std::wstring self(32'768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    const std::wstring folder = self.substr(0, self.find_last_of(L'\\') + 1);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : -1;
    const std::string record = utf8(GetCommandLineW()) + "\n" + std::to_string(show) + "\n";

    // Written aside and then renamed, so the test never reads half a record.
    const std::wstring part = folder + L"arguments.part";
    HANDLE file = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(file);
    return MoveFileExW(part.c_str(), (folder + L"arguments.txt").c_str(), MOVEFILE_REPLACE_EXISTING)
               ? 0
               : 1;
}
