#pragma once

#include <windows.h>

// The frame of every window class of the program: the window procedure finds its C++ object
// through the window itself (the pointer handed to CreateWindowExW arrives with WM_NCCREATE
// and is kept in GWLP_USERDATA), so there are no globals and each window forwards its
// messages to its own member handleMessage.
namespace strovanik::shell::win32 {

template <typename Derived>
class BaseWindow {
public:
    BaseWindow() = default;
    BaseWindow(const BaseWindow&) = delete;
    BaseWindow& operator=(const BaseWindow&) = delete;

    HWND hwnd() const { return hwnd_; }

protected:
    // Derived classes destroy their window in their own destructor, while they can still
    // handle its last messages. Should one be left, it is cut off from the object first: the
    // derived part is gone by now, so its last messages go to the default procedure.
    ~BaseWindow() {
        if (hwnd_ == nullptr) return;
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }

    // Registers the class (once per process) with this procedure and `style`, `cursor` and
    // `background`, and creates the window. Derived supplies `static const wchar_t* className()`.
    bool createWindow(HINSTANCE instance, DWORD exStyle, const wchar_t* title, DWORD style, int x,
                      int y, int width, int height, HWND parent, HMENU menu, HICON icon,
                      HCURSOR cursor, HBRUSH background) {
        WNDCLASSEXW existing{};
        existing.cbSize = sizeof existing;
        if (!GetClassInfoExW(instance, Derived::className(), &existing)) {
            WNDCLASSEXW windowClass{};
            windowClass.cbSize = sizeof windowClass;
            windowClass.style = CS_DBLCLKS;
            windowClass.lpfnWndProc = &BaseWindow::windowProc;
            windowClass.hInstance = instance;
            windowClass.hIcon = icon;
            windowClass.hIconSm = icon;
            windowClass.hCursor = cursor;
            windowClass.hbrBackground = background;
            windowClass.lpszClassName = Derived::className();
            if (RegisterClassExW(&windowClass) == 0) return false;
        }
        CreateWindowExW(exStyle, Derived::className(), title, style, x, y, width, height, parent,
                        menu, instance, static_cast<Derived*>(this));
        return hwnd_ != nullptr;
    }

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        Derived* self = nullptr;
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            self = static_cast<Derived*>(create->lpCreateParams);
            self->hwnd_ = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        } else {
            self = reinterpret_cast<Derived*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        }
        if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
        const LRESULT result = self->handleMessage(message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->hwnd_ = nullptr;
        }
        return result;
    }

    HWND hwnd_ = nullptr;
};

}  // namespace strovanik::shell::win32
