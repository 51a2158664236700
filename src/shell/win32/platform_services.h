#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "shell/window_port.h"

// The Windows services behind the window's port: the common file dialogs, the message box,
// the clipboard and the web browser. Each takes UTF-8 and speaks to Windows in UTF-16 only,
// so Korean names work whatever the system's ANSI code page is.
namespace strovanik::shell::win32 {

// A modal box with the OK button only, no icon, and the application's title.
void showMessageBox(HWND owner, std::string_view text);

enum class FileDialogKind { Open, Save };

// The open or save dialog (GetOpenFileNameW / GetSaveFileNameW). The chosen full name, or
// nothing when the user cancelled or the dialog could not be shown. The open dialog accepts
// a typed name that names no file; the save dialog asks before it replaces a file and adds
// no extension of its own.
std::optional<std::string> askFilePath(HWND owner, const FileDialogRequest& request,
                                       FileDialogKind kind);

// The dialog's type list from the commands' filter text: description and pattern pairs,
// each ended by a NUL, and one more NUL at the end.
std::wstring dialogFilterList(std::string_view filter);

// Replaces the clipboard's content with `text` as CF_UNICODETEXT. False when the clipboard
// stayed busy with another program.
bool copyToClipboard(HWND owner, std::string_view text);

// Where the browser of the system the window was made for lives.
inline constexpr std::wstring_view kBrowserPath =
    L"C:\\Program Files\\Internet Explorer\\iexplore.exe";

// Starts `browserPath` with the command line "<browserPath> <address>" (the path unquoted,
// one space, the address), maximised and with the focus, without waiting for it. False when
// the program could not be started.
bool startBrowser(std::wstring_view browserPath, std::string_view address);

// Opens a web address: with the browser at kBrowserPath when it is there, otherwise with the
// system's default browser. Failures are swallowed: a link never stops the window.
void openWebAddress(std::string_view address);

}  // namespace strovanik::shell::win32
