#pragma once

#include <windows.h>

#include "shell/window_port.h"

// The file check's dialog on Windows: a band in the verdict's colour over the check's lines in
// a read-only edit box in the report's fixed-pitch font, which has the focus; 복사 copies the
// whole text, 닫기 (the default button) closes, 복구본 만들기 (when offered) closes it asking for a
// repaired copy. Escape and Enter close it, as in every dialog.
namespace strovanik::shell::win32 {

// The identifiers of the dialog's controls, for the window tests.
inline constexpr int kInspectionBandId = 101;
inline constexpr int kInspectionTextId = 102;
inline constexpr int kInspectionCopyId = 103;
inline constexpr int kInspectionRepairId = 104;

// Shows the dialog, modal to `owner`, and returns when it is closed: true when through
// 복구본 만들기.
bool showInspectionDialog(HWND owner, const InspectionDialogRequest& request, HFONT textFont);

}  // namespace strovanik::shell::win32
