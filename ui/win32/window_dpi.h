#pragma once

// The DPI a window is drawn at, and its frame size at a DPI. The calls that
// know a window's own DPI came with Windows 10 (1607); Windows 7 lacks them,
// so they are looked up at run time and the system DPI stands in.

#include <windows.h>

namespace velkrane {

/// `hwnd`'s DPI: GetDpiForWindow where the system has it, else the
/// screen's (the system DPI), which is what Windows 7 scales by.
int WindowDpi(HWND hwnd);

/// The outer size of a window of `style` (no menu) whose client area is
/// `client_width` x `client_height` at `dpi`. The frame itself scales with
/// the DPI where the system can say so (AdjustWindowRectExForDpi).
SIZE FrameSizeFor(int client_width, int client_height, DWORD style, int dpi);

}  // namespace velkrane
