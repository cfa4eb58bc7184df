#pragma once

// The window's two message loops: the program's own, and the pump a run
// calls between files. Both give dialog keys (Tab) to the window first.

#include <windows.h>

namespace velkrane {

/// Handles every message waiting now. A WM_QUIT it pulls off is posted
/// again, so the outer loop still sees it. `window` is read at each
/// message: null once the window is gone.
void PumpWaitingMessages(const HWND& window);

/// Runs the message loop until WM_QUIT; returns its exit code.
int RunMessageLoop(const HWND& window);

}  // namespace velkrane
