#pragma once

// The size hints the window manager reads; kept apart because the X11
// headers define macros (Status, None) that clash with ordinary names.

class Fl_Window;

namespace velkrane::testing {

struct WmSizeHints {
  bool has_min = false, has_max = false;
  int min_width = 0, min_height = 0, max_width = 0, max_height = 0;
};

/// The WM_NORMAL_HINTS of a shown window.
WmSizeHints ReadWmSizeHints(Fl_Window* window);

}  // namespace velkrane::testing
