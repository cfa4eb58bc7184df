#pragma once

// Owners of the GDI objects the window makes: deleted, or put back, at scope
// exit. Their invalid value is null, so std::unique_ptr fits.

#include <windows.h>

#include <memory>
#include <type_traits>

namespace velkrane {

struct IconDeleter {
  void operator()(HICON icon) const noexcept { ::DestroyIcon(icon); }
};
using IconHandle = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

struct FontDeleter {
  void operator()(HFONT font) const noexcept { ::DeleteObject(font); }
};
using FontHandle = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

struct PenDeleter {
  void operator()(HPEN pen) const noexcept { ::DeleteObject(pen); }
};
using PenHandle = std::unique_ptr<std::remove_pointer_t<HPEN>, PenDeleter>;

/// `object` selected into `dc` until scope exit.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object)
      : dc_(dc), old_(::SelectObject(dc, object)) {}
  ~Selected() { ::SelectObject(dc_, old_); }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

/// A window's device context with `font` selected, both restored at scope
/// exit.
class FontDC {
 public:
  FontDC(HWND hwnd, HFONT font)
      : hwnd_(hwnd),
        dc_(::GetDC(hwnd)),
        old_(dc_ ? ::SelectObject(dc_, font) : nullptr) {}
  ~FontDC() {
    if (!dc_) return;
    ::SelectObject(dc_, old_);
    ::ReleaseDC(hwnd_, dc_);
  }
  FontDC(const FontDC&) = delete;
  FontDC& operator=(const FontDC&) = delete;
  HDC get() const noexcept { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace velkrane
