#pragma once

#include <windows.h>

#include "base_window.h"

namespace strovanik::shell::win32 {

// The application's icon from the program's resources at `size` pixels; the caller destroys
// it with DestroyIcon. Null when the module carries no icon.
HICON loadAppIcon(HINSTANCE instance, int size);

// The banner over the title labels and the picture: a blue band like a strip of film, the
// icon, the program's name and a short line about what it does, painted with GDI.
class Banner final : public BaseWindow<Banner> {
public:
    Banner() = default;
    ~Banner();

    // The fonts and the icon stay the caller's and must outlive the banner.
    bool create(HINSTANCE instance, HWND parent, const RECT& place, HFONT titleFont,
                HFONT taglineFont, HICON icon);

    static const wchar_t* className() { return L"StrovanikBanner"; }
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    void paint(HDC dc, const RECT& area) const;

    HFONT titleFont_ = nullptr;
    HFONT taglineFont_ = nullptr;
    HICON icon_ = nullptr;
};

}  // namespace strovanik::shell::win32
