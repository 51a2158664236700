#include <windows.h>
// The headers below build on windows.h.
#include <commctrl.h>
#include <gtest/gtest.h>
#include <objbase.h>

// The window tests run on one thread set up as the program's own: COM for the file dialogs,
// the common controls for the window.
int main(int argc, char** argv) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    if (SUCCEEDED(com)) CoUninitialize();
    return result;
}
