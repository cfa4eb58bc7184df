#pragma once

// Where every control of the main window sits, in the 96-dpi pixels the
// window is drawn for, and that geometry at other DPIs. Both front ends
// build from this, and the Linux tests check it; the texts are in
// main_form_texts.h.

namespace velkrane {

struct Rect {
  int left, top, width, height;
};

constexpr int kClientWidth = 506;
constexpr int kClientHeight = 407;
constexpr int kWindowLeft = 210;
constexpr int kWindowTop = 179;
constexpr int kListItemHeight = 13;
/// A row's outcome mark sits in a square cell at its left edge, and the
/// text of a marked row starts after it.
constexpr int kMarkColumnWidth = kListItemHeight;
constexpr int kOpenBufferChars = 65519;

// Within the client area; the header children are relative to Panel1, which
// sits at the client origin.
constexpr Rect kPanel1 = {0, 0, 506, 49};
constexpr Rect kImage1 = {8, 8, 32, 32};
constexpr int kL1Left = 264, kL1Top = 8;
constexpr int kLabel2Left = 168, kLabel2Top = 32;
constexpr int kLabelHeight = 13;
constexpr Rect kLBMain = {8, 56, 409, 321};
constexpr Rect kButton2 = {424, 56, 75, 25};   // Select
constexpr Rect kButton3 = {424, 85, 75, 25};   // Clear
constexpr Rect kButton1 = {424, 112, 75, 25};  // Decode
constexpr Rect kSBar = {0, 388, 506, 19};
/// Right edges of the status-bar panels; the last one runs to the bar's end.
constexpr int kStatusPanelEdges[] = {50, 250, -1};
/// The panel that shows progress; it starts with the contact address.
constexpr int kStatusPanel = 1;
/// The panel with the web address.
constexpr int kWebPanel = 2;

/// The dots per inch the numbers above are for.
constexpr int kDesignDpi = 96;

/// A length of `pixels` at 96 dpi, at `dpi`: times dpi/96, a half rounded
/// away from zero, as Windows' MulDiv does (11 becomes 17 at 144 dpi).
constexpr int ScaleForDpi(int pixels, int dpi) {
  const long long scaled = static_cast<long long>(pixels) * dpi;
  return static_cast<int>(scaled >= 0 ? (scaled + kDesignDpi / 2) / kDesignDpi
                                      : (scaled - kDesignDpi / 2) / kDesignDpi);
}

/// `r` at `dpi`. Its edges are scaled, not its size, so that controls that
/// touch at 96 dpi still touch and the status bar still ends at the client
/// area's bottom edge.
constexpr Rect ScaleForDpi(const Rect& r, int dpi) {
  const int left = ScaleForDpi(r.left, dpi), top = ScaleForDpi(r.top, dpi);
  return {left, top, ScaleForDpi(r.left + r.width, dpi) - left,
          ScaleForDpi(r.top + r.height, dpi) - top};
}

/// A status-bar panel's right edge at `dpi`; -1 (to the bar's end) stays.
constexpr int ScaleStatusEdgeForDpi(int edge, int dpi) {
  return edge < 0 ? edge : ScaleForDpi(edge, dpi);
}

}  // namespace velkrane
