#include <windows.h>
// The headers below build on windows.h.
#include <commctrl.h>
#include <objbase.h>

#include "form1.h"
#include "shell/command_line.h"
#include "wide_text.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    namespace win32 = strovanik::shell::win32;
    // The file dialogs and the shell's browser start are COM underneath.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    int exitCode = 1;
    {
        win32::Form1 form(win32::Form1::Options{.endsMessageLoop = true});
        if (form.create(instance)) {
            // The whole argument part of the command line is one path ("Open with" and a file
            // dropped on the program's icon hand it over in quotes).
            const std::string commandLine = win32::toUtf8(GetCommandLineW());
            form.startUp(strovanik::shell::pathFromArgumentText(
                strovanik::shell::argumentTextOf(commandLine)));
            form.show(showCommand);
            exitCode = win32::Form1::runMessageLoop(form.hwnd());
        }
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return exitCode;
}
