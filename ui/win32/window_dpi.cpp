#include "ui/win32/window_dpi.h"

#include "ui/shared/main_form_layout.h"

namespace velkrane {
namespace {

using GetDpiForWindowFunction = UINT WINAPI(HWND);
using AdjustWindowRectExForDpiFunction = BOOL WINAPI(RECT*, DWORD, BOOL, DWORD,
                                                     UINT);

/// A user32 function by name, or null where this Windows lacks it.
template <typename Function>
Function* User32Function(const char* name) {
  const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  if (!user32) return nullptr;
  // Through void(*)(): the one cast between function types GCC does not
  // warn about.
  return reinterpret_cast<Function*>(
      reinterpret_cast<void (*)()>(::GetProcAddress(user32, name)));
}

int SystemDpi() {
  const HDC screen = ::GetDC(nullptr);
  if (!screen) return kDesignDpi;
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kDesignDpi;
}

}  // namespace

int WindowDpi(HWND hwnd) {
  static GetDpiForWindowFunction* const get_dpi =
      User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
  if (get_dpi) {
    const UINT dpi = get_dpi(hwnd);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  return SystemDpi();
}

SIZE FrameSizeFor(int client_width, int client_height, DWORD style, int dpi) {
  static AdjustWindowRectExForDpiFunction* const adjust =
      User32Function<AdjustWindowRectExForDpiFunction>(
          "AdjustWindowRectExForDpi");
  RECT frame = {0, 0, client_width, client_height};
  if (!adjust || !adjust(&frame, style, FALSE, 0, static_cast<UINT>(dpi))) {
    frame = {0, 0, client_width, client_height};
    ::AdjustWindowRectEx(&frame, style, FALSE, 0);
  }
  return {frame.right - frame.left, frame.bottom - frame.top};
}

}  // namespace velkrane
