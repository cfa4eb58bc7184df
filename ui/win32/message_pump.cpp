#include "ui/win32/message_pump.h"

namespace velkrane {

namespace {

// One message of either loop: dialog keys (Tab) first, else the usual
// translate and dispatch.
void Dispatch(HWND window, MSG& message) {
  if (window && ::IsDialogMessageW(window, &message)) return;
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
}

}  // namespace

void PumpWaitingMessages(const HWND& window) {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The outer loop must still see it, or the program would not end.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    Dispatch(window, message);
  }
}

int RunMessageLoop(const HWND& window) {
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) Dispatch(window, message);
  return static_cast<int>(message.wParam);
}

}  // namespace velkrane
