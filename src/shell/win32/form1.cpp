#include "form1.h"

#include <windows.h>
// The headers below build on windows.h.
#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>

#include "inspection_dialog.h"
#include "progress_dialog.h"
#include "platform_services.h"
#include "wide_text.h"

namespace strovanik::shell::win32 {

namespace {

constexpr UINT kLoadDroppedFile = WM_APP + 1;

constexpr DWORD kFrameStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kFrameExStyle = WS_EX_CONTROLPARENT;

// The banner's own fonts, beside the controls' ones of the design table.
constexpr FontDesign kBannerTitleFont{15.0, true, false};
constexpr FontDesign kBannerTaglineFont{10.0, false, false};

int CALLBACK noteFontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool fontInstalled(const std::wstring& face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    face.copy(wanted.lfFaceName, LF_FACESIZE - 1);
    bool found = false;
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) return false;
    EnumFontFamiliesExW(screen, &wanted, noteFontFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

// The report box's face: the first fixed-pitch Korean font of the design that is installed;
// none leaves the choice to the font mapper, steered by the pitch and the charset.
std::wstring fixedPitchKoreanFace() {
    for (const std::string_view family : kFixedPitchKoreanFontFamilies) {
        std::wstring face = toWide(family);
        if (fontInstalled(face)) return face;
    }
    return {};
}

COLORREF colourOf(const Rgb& rgb) { return RGB(rgb.red, rgb.green, rgb.blue); }

// The class and styles of the native control for a kind of the design table.
struct NativeControl {
    const wchar_t* windowClass;
    DWORD style;
    DWORD exStyle;
};

NativeControl nativeControlFor(const ControlDesign& design) {
    // Every control clips its siblings, so the banner, on top, hides what lies under it.
    const DWORD common = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    const DWORD tabStop = takesFocus(design.kind) ? WS_TABSTOP : 0;
    const DWORD align = design.alignment == TextAlignment::Centre ? SS_CENTER : SS_LEFTNOWORDWRAP;
    switch (design.kind) {
        case ControlKind::TextBox:
            return {WC_EDITW,
                    common | tabStop | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE | ES_AUTOHSCROLL |
                        ES_AUTOVSCROLL | ES_WANTRETURN | ES_NOHIDESEL,
                    WS_EX_CLIENTEDGE};
        case ControlKind::Label:
            return {WC_STATICW, common | align | SS_NOPREFIX, 0};
        case ControlKind::LinkLabel:
            return {WC_STATICW, common | align | SS_NOPREFIX | SS_NOTIFY, 0};
        case ControlKind::Button:
            return {WC_BUTTONW,
                    common | tabStop | BS_PUSHBUTTON | (design.captionWraps ? BS_MULTILINE : 0), 0};
        case ControlKind::CheckBox:
            return {WC_BUTTONW, common | tabStop | BS_AUTOCHECKBOX, 0};
        case ControlKind::Image:
            return {WC_STATICW, common | SS_ICON | SS_REALSIZEIMAGE, 0};
        case ControlKind::Banner:
            break;
    }
    return {WC_STATICW, common, 0};
}

}  // namespace

Form1::Form1(Options options) : options_(options) {
    static_assert(std::tuple_size_v<decltype(kForm1Controls)> ==
                  std::tuple_size_v<decltype(controls_)>);
}

Form1::~Form1() {
    if (hwnd() != nullptr) DestroyWindow(hwnd());
    for (const CachedFont& cached : fonts_) DeleteObject(cached.font);
    for (HICON icon : {bigIcon_, smallIcon_, pictureIcon_}) {
        if (icon != nullptr) DestroyIcon(icon);
    }
}

RECT Form1::placeOf(const TwipRect& twips) const {
    const PixelRect pixels = pixelsFromTwips(twips);
    const int left = scaled(pixels.left);
    const int top = scaled(pixels.top);
    return {left, top, left + scaled(pixels.width), top + scaled(pixels.height)};
}

HFONT Form1::fontFor(const FontDesign& design) {
    for (const CachedFont& cached : fonts_) {
        if (cached.design == design) return cached.font;
    }
    const double points = design.points > 0 ? design.points : kDefaultFontPoints;
    LOGFONTW font{};
    font.lfHeight = -static_cast<LONG>(std::lround(points * dpi_ / 72.0));
    font.lfWeight = design.bold ? FW_BOLD : FW_NORMAL;
    font.lfUnderline = design.underline ? TRUE : FALSE;
    // Without the Korean font itself, the charset still steers the font mapper to one that
    // has Hangul.
    font.lfCharSet = HANGEUL_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = design.fixedPitch ? FIXED_PITCH | FF_MODERN : VARIABLE_PITCH | FF_SWISS;
    const std::wstring face =
        design.fixedPitch ? fixedPitchKoreanFace() : toWide(kKoreanFontFamilies.front());
    face.copy(font.lfFaceName, LF_FACESIZE - 1);
    HFONT made = CreateFontIndirectW(&font);
    if (made == nullptr)
        made = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    else
        fonts_.push_back({design, made});
    return made;
}

bool Form1::create(HINSTANCE instance) {
    HDC screen = GetDC(nullptr);
    dpi_ = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (dpi_ <= 0) dpi_ = 96;
    if (screen != nullptr) ReleaseDC(nullptr, screen);

    bigIcon_ = loadAppIcon(instance, GetSystemMetrics(SM_CXICON));
    smallIcon_ = loadAppIcon(instance, GetSystemMetrics(SM_CXSMICON));
    pictureIcon_ = loadAppIcon(instance, scaled(32));

    RECT frame{0, 0, scaled(pixelsFromTwips(kClientWidthTwips)),
               scaled(pixelsFromTwips(kClientHeightTwips))};
    AdjustWindowRectEx(&frame, kFrameStyle, FALSE, kFrameExStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int spareWidth = static_cast<int>(work.right - work.left) - width;
    const int spareHeight = static_cast<int>(work.bottom - work.top) - height;
    const int x = static_cast<int>(work.left) + std::max(0, spareWidth / 2);
    const int y = static_cast<int>(work.top) + std::max(0, spareHeight / 2);

    if (!createWindow(instance, kFrameExStyle, L"", kFrameStyle, x, y, width, height, nullptr,
                      nullptr, bigIcon_, LoadCursorW(nullptr, IDC_ARROW),
                      reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1))) {
        return false;
    }
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    SendMessageW(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(fontFor({})), FALSE);

    // Created in tab order: a dialog's Tab key follows the order in which controls were made.
    std::vector<const ControlDesign*> order;
    for (const ControlDesign& design : kForm1Controls) order.push_back(&design);
    std::stable_sort(order.begin(), order.end(), [](const auto* a, const auto* b) {
        const auto rank = [](int tab) { return tab == kNoTabStop ? INT32_MAX : tab; };
        return rank(a->tabIndex) < rank(b->tabIndex);
    });
    for (const ControlDesign* design : order) {
        HWND made = makeControl(instance, *design);
        if (made == nullptr) return false;
        controls_[indexOf(design->id)] = made;
    }
    // The banner lies over the title labels and the picture. It takes no focus, so its
    // place on top leaves the tab order alone.
    SetWindowPos(banner_.hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    DragAcceptFiles(hwnd(), TRUE);
    return true;
}

HWND Form1::makeControl(HINSTANCE instance, const ControlDesign& design) {
    const RECT place = placeOf(design.place);
    if (design.kind == ControlKind::Banner) {
        if (!banner_.create(instance, hwnd(), place, fontFor(kBannerTitleFont),
                            fontFor(kBannerTaglineFont), pictureIcon_)) {
            return nullptr;
        }
        SetWindowTextW(banner_.hwnd(), toWide(design.name).c_str());
        return banner_.hwnd();
    }
    const NativeControl native = nativeControlFor(design);
    const std::wstring caption = toWide(design.caption);
    HWND made = CreateWindowExW(
        native.exStyle, native.windowClass, caption.c_str(), native.style, place.left, place.top,
        place.right - place.left, place.bottom - place.top, hwnd(),
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(commandIdOf(design.id))), instance, nullptr);
    if (made == nullptr) return nullptr;
    SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(fontFor(design.font)), FALSE);
    switch (design.kind) {
        case ControlKind::TextBox:
            // Typing is not held to the 30,000 characters an edit box allows by default.
            SendMessageW(made, EM_SETLIMITTEXT, 0, 0);
            // Its context menu gains the current file's commands.
            SetWindowSubclass(made, reportBoxProcedure, 1, reinterpret_cast<DWORD_PTR>(this));
            break;
        case ControlKind::CheckBox:
            SendMessageW(made, BM_SETCHECK, design.initiallyChecked ? BST_CHECKED : BST_UNCHECKED,
                         0);
            break;
        case ControlKind::Image:
            SendMessageW(made, STM_SETICON, reinterpret_cast<WPARAM>(pictureIcon_), 0);
            SetWindowPos(made, nullptr, place.left, place.top, place.right - place.left,
                         place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
            break;
        default:
            break;
    }
    return made;
}

void Form1::startUp(std::string_view commandLinePath) { commands_.startUp(commandLinePath); }

void Form1::show(int showCommand) {
    ShowWindow(hwnd(), showCommand);
    UpdateWindow(hwnd());
    SetFocus(control(ControlId::Text1));
}

bool Form1::translateShortcut(HWND window, const MSG& message) {
    if (message.message != WM_KEYDOWN || message.wParam != 'I') return false;
    if (GetKeyState(VK_CONTROL) >= 0 || GetKeyState(VK_MENU) < 0 || GetKeyState(VK_SHIFT) < 0)
        return false;
    if (message.hwnd != window && !IsChild(window, message.hwnd)) return false;
    // Taken before TranslateMessage, so the report box never sees the tab that Ctrl+I types.
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(kCheckFileCommandId, 1), 0);
    return true;
}

int Form1::runMessageLoop(HWND window) {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsWindow(window) && translateShortcut(window, message)) continue;
        if (IsWindow(window) && IsDialogMessageW(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

std::optional<ControlId> Form1::controlOfCommand(int commandId) const {
    const int index = commandId - kFirstCommandId;
    if (index < 0 || index >= static_cast<int>(controls_.size())) return std::nullopt;
    return static_cast<ControlId>(index);
}

bool Form1::isLink(HWND window) const {
    return std::any_of(kForm1Controls.begin(), kForm1Controls.end(), [&](const auto& design) {
        return design.kind == ControlKind::LinkLabel && control(design.id) == window;
    });
}

void Form1::fileDropped(HDROP drop) {
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    if (length > 0) {
        std::wstring path(length + 1, L'\0');
        DragQueryFileW(drop, 0, path.data(), length + 1);
        path.resize(length);
        droppedPath_ = toUtf8(path);
        // Loaded once the drop has finished: the analysis may show a message box, and the
        // program the file was dragged from should not wait for it.
        PostMessageW(hwnd(), kLoadDroppedFile, 0, 0);
    }
    DragFinish(drop);
}

// As a dialog does: the focus comes back to the control that had it.
void Form1::activated(bool active) {
    if (!active) {
        focusBeforeDeactivation_ = GetFocus();
        return;
    }
    HWND target = focusBeforeDeactivation_;
    if (target == nullptr || !IsChild(hwnd(), target)) target = control(ControlId::Text1);
    SetFocus(target);
}

LRESULT Form1::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: {
            const int code = HIWORD(wParam);
            // The context menu's entries and Ctrl+I; while disabled they do nothing.
            if (lParam == 0 && LOWORD(wParam) == kCheckFileCommandId) {
                if (fileCommandsEnabled_) commands_.checkFile();
                return 0;
            }
            if (lParam == 0 && LOWORD(wParam) == kStructureSampleCommandId) {
                if (fileCommandsEnabled_) commands_.makeStructureSample();
                return 0;
            }
            if (lParam == 0 && LOWORD(wParam) == kRepairCommandId) {
                if (fileCommandsEnabled_) commands_.makeRepairedCopy();
                return 0;
            }
            // BN_CLICKED and STN_CLICKED are both 0; a check box has changed its state by now.
            if (code == BN_CLICKED && lParam != 0) {
                const std::optional<ControlId> clicked = controlOfCommand(LOWORD(wParam));
                if (clicked && *clicked != ControlId::Text1) commands_.click(*clicked);
            }
            return 0;
        }
        case DM_GETDEFID: {
            // Asked by the dialog navigation when Enter is pressed: the focused button is the
            // one Enter presses, as Space does. Elsewhere Enter presses nothing.
            HWND focused = GetFocus();
            for (const ControlDesign& design : kForm1Controls) {
                if (design.kind == ControlKind::Button && control(design.id) == focused) {
                    return MAKELRESULT(commandIdOf(design.id), DC_HASDEFID);
                }
            }
            return 0;
        }
        case WM_CTLCOLORSTATIC: {
            const LRESULT brush = DefWindowProcW(hwnd(), message, wParam, lParam);
            const auto child = reinterpret_cast<HWND>(lParam);
            for (const ControlDesign& design : kForm1Controls) {
                if (design.textColour && control(design.id) == child) {
                    SetTextColor(reinterpret_cast<HDC>(wParam), colourOf(*design.textColour));
                }
            }
            return brush;
        }
        case WM_SETCURSOR:
            if (isLink(reinterpret_cast<HWND>(wParam)) && LOWORD(lParam) == HTCLIENT) {
                SetCursor(LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            }
            return DefWindowProcW(hwnd(), message, wParam, lParam);
        case WM_ACTIVATE:
            activated(LOWORD(wParam) != WA_INACTIVE);
            return 0;
        case WM_DROPFILES:
            fileDropped(reinterpret_cast<HDROP>(wParam));
            return 0;
        case kLoadDroppedFile:
            if (!droppedPath_.empty()) {
                const std::string path = std::move(droppedPath_);
                droppedPath_.clear();
                commands_.openChosenFile(path);
            }
            return 0;
        case WM_DESTROY:
            if (options_.endsMessageLoop) PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(hwnd(), message, wParam, lParam);
    }
}

void Form1::setCaption(std::string_view caption) {
    SetWindowTextW(hwnd(), toWide(caption).c_str());
}

std::string Form1::reportText() const {
    HWND box = control(ControlId::Text1);
    const int length = GetWindowTextLengthW(box);
    if (length <= 0) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(box, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return toUtf8(text);
}

void Form1::setReportText(std::string_view text) {
    SetWindowTextW(control(ControlId::Text1), toWide(text).c_str());
}

bool Form1::isChecked(CheckBox box) const {
    HWND check = control(box == CheckBox::Check1 ? ControlId::Check1 : ControlId::Check2);
    return SendMessageW(check, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Form1::setEnabled(CheckBox box, bool enabled) {
    EnableWindow(control(box == CheckBox::Check1 ? ControlId::Check1 : ControlId::Check2),
                 enabled ? TRUE : FALSE);
}

void Form1::showMessage(std::string_view text) { showMessageBox(hwnd(), text); }

std::optional<std::string> Form1::askOpenPath(const FileDialogRequest& request) {
    return askFilePath(hwnd(), request, FileDialogKind::Open);
}

std::optional<std::string> Form1::askSavePath(const FileDialogRequest& request) {
    return askFilePath(hwnd(), request, FileDialogKind::Save);
}

bool Form1::askYesNo(std::string_view question) {
    // No as the default button: replacing a file is undone by nothing.
    return MessageBoxW(hwnd(), toWide(question).c_str(), toWide(kApplicationTitle).c_str(),
                       MB_YESNO | MB_DEFBUTTON2) == IDYES;
}

InspectionChoice Form1::showInspection(const InspectionDialogRequest& request) {
    return showInspectionDialog(hwnd(), request, fontFor(controlDesign(ControlId::Text1).font))
               ? InspectionChoice::Repair
               : InspectionChoice::Closed;
}

void Form1::beginProgress(std::string_view text) {
    progress_ = std::make_unique<ProgressDialog>(hwnd(), text);
}

bool Form1::advanceProgress(int percent) { return !progress_ || progress_->advance(percent); }

void Form1::endProgress() { progress_.reset(); }

void Form1::setFileCommandsEnabled(bool enabled) { fileCommandsEnabled_ = enabled; }

LRESULT CALLBACK Form1::reportBoxProcedure(HWND box, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR, DWORD_PTR form) {
    if (message == WM_CONTEXTMENU) {
        reinterpret_cast<Form1*>(form)->showReportMenu(lParam);
        return 0;
    }
    return DefSubclassProc(box, message, wParam, lParam);
}

void Form1::showReportMenu(LPARAM where) {
    HWND box = control(ControlId::Text1);
    POINT at{GET_X_LPARAM(where), GET_Y_LPARAM(where)};
    if (where == -1) {
        // From the keyboard (the menu key, Shift+F10): at the box's top left corner.
        at = {4, 4};
        ClientToScreen(box, &at);
    }
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const bool selected = start != end;
    const bool editable = (GetWindowLongPtrW(box, GWL_STYLE) & ES_READONLY) == 0;
    const UINT file = fileCommandsEnabled_ ? MF_ENABLED : MF_GRAYED;
    // The box's own entries first, as its own menu has them, then the file's commands.
    enum : UINT { kUndo = 1, kCut, kCopy, kPaste, kDelete, kSelectAll };
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, SendMessageW(box, EM_CANUNDO, 0, 0) ? MF_ENABLED : MF_GRAYED, kUndo,
                L"실행 취소(&U)");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, selected && editable ? MF_ENABLED : MF_GRAYED, kCut, L"잘라내기(&T)");
    AppendMenuW(menu, selected ? MF_ENABLED : MF_GRAYED, kCopy, L"복사(&C)");
    AppendMenuW(menu,
                editable && IsClipboardFormatAvailable(CF_UNICODETEXT) ? MF_ENABLED : MF_GRAYED,
                kPaste, L"붙여넣기(&P)");
    AppendMenuW(menu, selected && editable ? MF_ENABLED : MF_GRAYED, kDelete, L"삭제(&D)");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_ENABLED, kSelectAll, L"모두 선택(&A)");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, file, kCheckFileCommandId, (toWide(kCheckFileCommand) + L"\tCtrl+I").c_str());
    AppendMenuW(menu, file, kStructureSampleCommandId, toWide(kStructureSampleCommand).c_str());
    AppendMenuW(menu, file, kRepairCommandId, toWide(kRepairCommand).c_str());
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd(), nullptr));
    DestroyMenu(menu);
    switch (chosen) {
        case kUndo:
            SendMessageW(box, EM_UNDO, 0, 0);
            break;
        case kCut:
            SendMessageW(box, WM_CUT, 0, 0);
            break;
        case kCopy:
            SendMessageW(box, WM_COPY, 0, 0);
            break;
        case kPaste:
            SendMessageW(box, WM_PASTE, 0, 0);
            break;
        case kDelete:
            SendMessageW(box, WM_CLEAR, 0, 0);
            break;
        case kSelectAll:
            SendMessageW(box, EM_SETSEL, 0, -1);
            break;
        case kCheckFileCommandId:
        case kStructureSampleCommandId:
        case kRepairCommandId:
            SendMessageW(hwnd(), WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
            break;
        default:
            break;
    }
}

void Form1::copyText(std::string_view text) { copyToClipboard(hwnd(), text); }

void Form1::openAddress(std::string_view address) { openWebAddress(address); }

void Form1::quit() { DestroyWindow(hwnd()); }

}  // namespace strovanik::shell::win32
