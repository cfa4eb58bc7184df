#pragma once

// The main window's controls placed for a DPI, from the shared geometry
// table, with a font and pictures made for that DPI.

#include <windows.h>

#include "ui/win32/gdi_handles.h"

namespace velkrane {

/// Child-window identifiers; the header's three sit inside Panel1.
enum ControlId : int {
  kButton1Id = 101,  // Decode
  kButton2Id,        // Select
  kButton3Id,        // Clear
  kLBMainId,
  kPanel1Id,
  kImage1Id,
  kL1Id,
  kLabel2Id,
  kSBarId,
};

constexpr DWORD kFormStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

/// The window's outer size for its client area at `dpi`.
SIZE FormFrameSize(int dpi);

/// What the controls are drawn with at the DPI last laid out for: the
/// controls use them, so they live as long as the window shows them.
class FormLayout {
 public:
  /// Places every control of `form` for `dpi` and sets the font and the
  /// pictures (from `instance`'s icons) made for it; those made for the DPI
  /// before go once the controls no longer use them.
  void Apply(HINSTANCE instance, HWND form, int dpi);
  /// The controls' font.
  HFONT Font() const noexcept { return font_.get(); }

 private:
  FontHandle font_;
  IconHandle header_icon_;
  /// The title bar's and the taskbar's pictures.
  IconHandle small_icon_;
  IconHandle big_icon_;
};

}  // namespace velkrane
