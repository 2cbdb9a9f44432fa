// The system's control classes: "button" (push buttons, check boxes, radio
// buttons, group boxes, owner-drawn buttons) and "static" (text and
// bitmaps).
#pragma once

#include <windows.h>

namespace sim {

void register_control_classes();

// What the default window procedure answers a control's WM_CTLCOLORSTATIC,
// WM_CTLCOLORBTN or WM_CTLCOLORDLG with: the system's colours set in the
// control's device context, and the brush for its background.
LRESULT default_control_colours(UINT msg, HDC dc);

}  // namespace sim
