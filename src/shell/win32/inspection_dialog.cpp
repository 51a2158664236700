#include "inspection_dialog.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform_services.h"
#include "shell/form1_commands.h"
#include "wide_text.h"

namespace strovanik::shell::win32 {

namespace {

struct DialogState {
    const InspectionDialogRequest* request;
    HFONT textFont;
    HFONT bandFont = nullptr;
    HBRUSH bandBrush = nullptr;
};

// Green for a whole file, amber for a cut one, red for a damaged one, each dark enough for
// white letters.
COLORREF bandColour(report::Verdict verdict) {
    switch (verdict) {
        case report::Verdict::Complete:
            return RGB(0x2E, 0x7D, 0x32);
        case report::Verdict::Truncated:
            return RGB(0xB2, 0x5E, 0x00);
        case report::Verdict::Damaged:
            return RGB(0xC6, 0x28, 0x28);
    }
    return RGB(0x60, 0x60, 0x60);
}

HWND addControl(HWND dialog, const wchar_t* windowClass, const std::wstring& text, DWORD style,
                int id, HFONT font) {
    HWND made = CreateWindowExW(0, windowClass, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0,
                                10, 10, dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                GetModuleHandleW(nullptr), nullptr);
    SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return made;
}

// The size the text needs in `font`: its longest line and all its lines.
SIZE textExtent(HWND window, HFONT font, const std::wstring& text) {
    SIZE total{0, 0};
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, font);
    std::size_t start = 0;
    int lines = 0;
    while (start <= text.size() && lines < 1000) {
        std::size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) end = text.size();
        SIZE line{0, 0};
        GetTextExtentPoint32W(dc, text.c_str() + start, static_cast<int>(end - start), &line);
        total.cx = std::max(total.cx, line.cx);
        total.cy += line.cy;
        ++lines;
        start = end + 2;
    }
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return total;
}

void layOut(HWND dialog, const DialogState& state) {
    const std::wstring text = toWide(state.request->text);
    const SIZE extent = textExtent(dialog, state.textFont, text);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int margin = 10;
    const int bandHeight = 34;
    const int buttonWidth = 90;
    const int buttonHeight = 28;
    const int boxWidth = std::clamp<int>(extent.cx + 40, 480, (work.right - work.left) * 9 / 10);
    const int boxHeight = std::clamp<int>(extent.cy + 40, 120, (work.bottom - work.top) * 2 / 3);
    const int clientWidth = boxWidth + 2 * margin;
    const int clientHeight =
        margin + bandHeight + margin + boxHeight + margin + buttonHeight + margin;
    RECT frame{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(dialog, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height, SWP_NOZORDER);
    MoveWindow(GetDlgItem(dialog, kInspectionBandId), margin, margin, boxWidth, bandHeight, FALSE);
    const int boxTop = margin + bandHeight + margin;
    MoveWindow(GetDlgItem(dialog, kInspectionTextId), margin, boxTop, boxWidth, boxHeight, FALSE);
    const int buttonTop = boxTop + boxHeight + margin;
    MoveWindow(GetDlgItem(dialog, IDOK), clientWidth - margin - buttonWidth, buttonTop, buttonWidth,
               buttonHeight, FALSE);
    MoveWindow(GetDlgItem(dialog, kInspectionCopyId), clientWidth - 2 * (margin + buttonWidth),
               buttonTop, buttonWidth, buttonHeight, FALSE);
    if (HWND repair = GetDlgItem(dialog, kInspectionRepairId)) {
        MoveWindow(repair, margin, buttonTop, buttonWidth + 30, buttonHeight, FALSE);
    }
}

INT_PTR CALLBACK dialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    switch (message) {
        case WM_INITDIALOG: {
            state = reinterpret_cast<DialogState*>(lParam);
            SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
            SetWindowTextW(dialog, toWide(state->request->title).c_str());
            const auto guiFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
            LOGFONTW band{};
            GetObjectW(guiFont, sizeof band, &band);
            band.lfHeight = -20;
            band.lfWeight = FW_BOLD;
            state->bandFont = CreateFontIndirectW(&band);
            state->bandBrush = CreateSolidBrush(bandColour(state->request->verdict));
            addControl(dialog, L"Static", L" " + toWide(state->request->verdictWord),
                       SS_LEFT | SS_CENTERIMAGE, kInspectionBandId, state->bandFont);
            HWND text = addControl(dialog, L"Edit", toWide(state->request->text),
                                   WS_BORDER | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                                       ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                                   kInspectionTextId, state->textFont);
            addControl(dialog, L"Button", L"복사", WS_TABSTOP | BS_PUSHBUTTON, kInspectionCopyId,
                       guiFont);
            addControl(dialog, L"Button", L"닫기", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, guiFont);
            if (state->request->offersRepair) {
                addControl(dialog, L"Button", toWide(kRepairCommand), WS_TABSTOP | BS_PUSHBUTTON,
                           kInspectionRepairId, guiFont);
            }
            // The controls are not in the template, so the dialog learns its default button here:
            // Enter presses 닫기 wherever the focus is.
            SendMessageW(dialog, DM_SETDEFID, IDOK, 0);
            layOut(dialog, *state);
            // The box has the keyboard from the start, so that Ctrl+A, Ctrl+C copies at once.
            SetFocus(text);
            return FALSE;
        }
        case WM_CTLCOLORSTATIC:
            if (state != nullptr &&
                reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, kInspectionBandId)) {
                SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0xFF, 0xFF, 0xFF));
                SetBkColor(reinterpret_cast<HDC>(wParam), bandColour(state->request->verdict));
                return reinterpret_cast<INT_PTR>(state->bandBrush);
            }
            return FALSE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case kInspectionCopyId:
                    copyToClipboard(dialog, state->request->text);
                    return TRUE;
                case IDOK:
                case IDCANCEL:
                case kInspectionRepairId:
                    EndDialog(dialog, LOWORD(wParam));
                    return TRUE;
                default:
                    return FALSE;
            }
        case WM_DESTROY:
            if (state != nullptr) {
                DeleteObject(state->bandFont);
                DeleteObject(state->bandBrush);
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

bool showInspectionDialog(HWND owner, const InspectionDialogRequest& request, HFONT textFont) {
    // An empty dialog template: the controls are made in WM_INITDIALOG, sized to the text.
    std::vector<WORD> dialogTemplate(16, 0);
    auto* header = reinterpret_cast<DLGTEMPLATE*>(dialogTemplate.data());
    header->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    header->cx = 200;
    header->cy = 100;
    DialogState state{&request, textFont};
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), header, owner, dialogProcedure,
                                   reinterpret_cast<LPARAM>(&state)) == kInspectionRepairId;
}

}  // namespace strovanik::shell::win32
