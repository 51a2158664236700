#include "banner.h"

#include <algorithm>
#include <string>

#include "resource_ids.h"
#include "shell/form_design.h"
#include "wide_text.h"

namespace strovanik::shell::win32 {

namespace {

constexpr COLORREF kDeepBlue = RGB(22, 58, 115);
constexpr COLORREF kBlue = RGB(43, 95, 171);
constexpr COLORREF kLightBlue = RGB(64, 150, 200);
constexpr COLORREF kTitleColour = RGB(255, 255, 255);
constexpr COLORREF kTaglineColour = RGB(225, 238, 255);

// Part `share` (0 to 256) of the way from `from` to `to`.
COLORREF mix(COLORREF from, COLORREF to, int share) {
    auto channel = [share](int a, int b) { return a + (b - a) * share / 256; };
    return RGB(channel(GetRValue(from), GetRValue(to)), channel(GetGValue(from), GetGValue(to)),
               channel(GetBValue(from), GetBValue(to)));
}

// The band's colour at `x`: deep blue at the left, blue a little past the middle, light blue
// at the right.
COLORREF bandColour(int x, int width) {
    const int split = width * 55 / 100;
    if (width <= 1) return kDeepBlue;
    if (x < split) return mix(kDeepBlue, kBlue, x * 256 / std::max(split, 1));
    return mix(kBlue, kLightBlue, (x - split) * 256 / std::max(width - split, 1));
}

void fillRect(HDC dc, const RECT& rect, COLORREF colour) {
    SetDCBrushColor(dc, colour);
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

}  // namespace

HICON loadAppIcon(HINSTANCE instance, int size) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(STROVANIK_ICON), IMAGE_ICON,
                                         size, size, LR_DEFAULTCOLOR));
}

Banner::~Banner() {
    if (hwnd() != nullptr) DestroyWindow(hwnd());
}

bool Banner::create(HINSTANCE instance, HWND parent, const RECT& place, HFONT titleFont,
                    HFONT taglineFont, HICON icon) {
    titleFont_ = titleFont;
    taglineFont_ = taglineFont;
    icon_ = icon;
    return createWindow(instance, 0, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, place.left,
                        place.top, place.right - place.left, place.bottom - place.top, parent,
                        nullptr, nullptr, LoadCursorW(nullptr, IDC_ARROW), nullptr);
}

LRESULT Banner::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // the paint covers every pixel
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd(), &ps);
            RECT area;
            GetClientRect(hwnd(), &area);
            // Drawn off screen first, so the band never flickers.
            HDC memory = CreateCompatibleDC(dc);
            HBITMAP bitmap = CreateCompatibleBitmap(dc, area.right, area.bottom);
            HGDIOBJ previous = SelectObject(memory, bitmap);
            paint(memory, area);
            BitBlt(dc, 0, 0, area.right, area.bottom, memory, 0, 0, SRCCOPY);
            SelectObject(memory, previous);
            DeleteObject(bitmap);
            DeleteDC(memory);
            EndPaint(hwnd(), &ps);
            return 0;
        }
        default:
            return DefWindowProcW(hwnd(), message, wParam, lParam);
    }
}

void Banner::paint(HDC dc, const RECT& area) const {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    for (int x = 0; x < width; x += 2) {
        fillRect(dc, {area.left + x, area.top, area.left + x + 2, area.bottom},
                 bandColour(x, width));
    }

    // Perforations along both edges, like the border of a film.
    constexpr int kHole = 3;
    for (int x = 4; x + kHole < width; x += 9) {
        const COLORREF hole = mix(bandColour(x, width), RGB(255, 255, 255), 60);
        fillRect(dc, {area.left + x, area.top + 2, area.left + x + kHole + 1, area.top + 2 + kHole},
                 hole);
        fillRect(
            dc,
            {area.left + x, area.bottom - 2 - kHole, area.left + x + kHole + 1, area.bottom - 2},
            hole);
    }

    const int iconSize = std::min(32, height - 12);
    const int iconLeft = area.left + 10;
    const int iconTop = area.top + (height - iconSize) / 2;
    if (icon_ != nullptr) {
        DrawIconEx(dc, iconLeft, iconTop, icon_, iconSize, iconSize, 0, nullptr, DI_NORMAL);
    }

    RECT text{iconLeft + iconSize + 10, area.top + 7, area.right - 10, area.bottom - 7};
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ previousFont = SelectObject(dc, titleFont_);
    SetTextColor(dc, kTitleColour);
    std::wstring title = toWide(kBannerTitle);
    DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &text,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, taglineFont_);
    SetTextColor(dc, kTaglineColour);
    std::wstring tagline = toWide(kBannerTagline);
    DrawTextW(dc, tagline.c_str(), static_cast<int>(tagline.size()), &text,
              DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, previousFont);
}

}  // namespace strovanik::shell::win32
