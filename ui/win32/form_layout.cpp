#include "ui/win32/form_layout.h"

#include <commctrl.h>

#include <iterator>
#include <string>
#include <utility>

#include "fileio/win32_text.h"
#include "ui/shared/main_form_layout.h"
#include "ui/shared/main_form_texts.h"
#include "ui/shared/ui_font.h"
#include "ui/win32/resource.h"
#include "ui/win32/window_dpi.h"

namespace velkrane {

namespace {

// The window's own pictures at 96 dpi: title bar and taskbar.
constexpr int kSmallIconSize = 16;
constexpr int kBigIconSize = 32;

// The icon resource `id` drawn at `size` pixels: the icon files carry the
// larger sizes, so a higher DPI gets a sharper picture, not a stretched one.
IconHandle LoadIconSized(HINSTANCE instance, int id, int size) {
  return IconHandle(static_cast<HICON>(
      ::LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0)));
}

// Tahoma 8 point at `dpi`; negative, so the height is the characters' and not
// the cell's.
FontHandle CreateUiFont(int dpi) {
  return FontHandle(::CreateFontW(
      -ScaleForDpi(kUiFontPixels, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
      ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
      DEFAULT_PITCH | FF_DONTCARE, L"Tahoma"));
}

// How wide `text` is in `font` on `hwnd`'s screen; 0 when it cannot be told.
int TextWidth(HWND hwnd, HFONT font, const std::string& text) {
  const std::wstring wide = Widen(text);
  SIZE extent = {0, 0};
  FontDC dc(hwnd, font);
  if (dc.get()) {
    ::GetTextExtentPoint32W(dc.get(), wide.c_str(),
                            static_cast<int>(wide.size()), &extent);
  }
  return static_cast<int>(extent.cx);
}

// Where each control goes, from the shared geometry table; the picture sits
// in Panel1, the rest in the window.
struct ControlPlace {
  bool in_panel;
  int id;
  Rect place;
};
constexpr ControlPlace kControlPlaces[] = {
    {false, kButton1Id, kButton1}, {false, kLBMainId, kLBMain},
    {false, kButton2Id, kButton2}, {false, kButton3Id, kButton3},
    {false, kPanel1Id, kPanel1},   {false, kSBarId, kSBar},
    {true, kImage1Id, kImage1},
};

void Place(HWND control, const Rect& r) {
  ::SetWindowPos(control, nullptr, r.left, r.top, r.width, r.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void PlaceControls(HWND form, HWND panel, HFONT font, HICON header_icon,
                   int dpi) {
  for (const ControlPlace& p : kControlPlaces) {
    const HWND control = ::GetDlgItem(p.in_panel ? panel : form, p.id);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // The picture first: setting it sizes the control to the icon.
    if (p.id == kImage1Id) {
      ::SendMessageW(control, STM_SETICON,
                     reinterpret_cast<WPARAM>(header_icon), 0);
    }
    Place(control, ScaleForDpi(p.place, dpi));
  }
}

void PlaceHeaderLabels(HWND panel, HFONT font, int dpi) {
  // The header's labels are as wide as their text in the font.
  const struct {
    int id;
    std::string text;
    int left, top;
  } labels[] = {{kL1Id, HeaderText(), kL1Left, kL1Top},
                {kLabel2Id, kNoticeText, kLabel2Left, kLabel2Top}};
  for (const auto& l : labels) {
    const HWND label = ::GetDlgItem(panel, l.id);
    ::SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    Rect place = ScaleForDpi({l.left, l.top, 0, kLabelHeight}, dpi);
    place.width = TextWidth(panel, font, l.text);
    Place(label, place);
  }
}

void SetListAndStatusBarMetrics(HWND list, HWND status_bar, int dpi) {
  // WM_SETFONT set the item height from the font; the layout wants 13.
  ::SendMessageW(list, LB_SETITEMHEIGHT, 0, ScaleForDpi(kListItemHeight, dpi));
  int edges[std::size(kStatusPanelEdges)];
  for (std::size_t i = 0; i < std::size(edges); ++i) {
    edges[i] = ScaleStatusEdgeForDpi(kStatusPanelEdges[i], dpi);
  }
  ::SendMessageW(status_bar, SB_SETPARTS, std::size(edges),
                 reinterpret_cast<LPARAM>(edges));
}

}  // namespace

SIZE FormFrameSize(int dpi) {
  return FrameSizeFor(ScaleForDpi(kClientWidth, dpi),
                      ScaleForDpi(kClientHeight, dpi), kFormStyle, dpi);
}

void FormLayout::Apply(HINSTANCE instance, HWND form, int dpi) {
  FontHandle font = CreateUiFont(dpi);
  IconHandle header_icon =
      LoadIconSized(instance, IDI_HEADER, ScaleForDpi(kImage1.width, dpi));
  IconHandle small_icon =
      LoadIconSized(instance, IDI_VELKRANE, ScaleForDpi(kSmallIconSize, dpi));
  IconHandle big_icon =
      LoadIconSized(instance, IDI_VELKRANE, ScaleForDpi(kBigIconSize, dpi));
  const HWND panel = ::GetDlgItem(form, kPanel1Id);
  PlaceControls(form, panel, font.get(), header_icon.get(), dpi);
  PlaceHeaderLabels(panel, font.get(), dpi);
  SetListAndStatusBarMetrics(::GetDlgItem(form, kLBMainId),
                             ::GetDlgItem(form, kSBarId), dpi);
  ::SendMessageW(form, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(small_icon.get()));
  ::SendMessageW(form, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(big_icon.get()));

  // The controls hold the new ones now; the old ones can go.
  font_ = std::move(font);
  header_icon_ = std::move(header_icon);
  small_icon_ = std::move(small_icon);
  big_icon_ = std::move(big_icon);
}

}  // namespace velkrane
