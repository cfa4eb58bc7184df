#pragma once

// Helpers for tests that drive real FLTK windows.

#include <string>

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Window.H>

#include "tests/mark_pixels.h"

namespace velkrane::testing {

/// Delivers a key press to `window` the way the event loop does.
inline void PressKey(Fl_Window* window, int key) {
  Fl::e_keysym = key;
  Fl::e_state = 0;
  Fl::e_text = const_cast<char*>("");
  Fl::e_length = 0;
  Fl::handle(FL_KEYBOARD, window);
}

struct WmSizeHints {
  bool has_min = false, has_max = false;
  int min_width = 0, min_height = 0, max_width = 0, max_height = 0;
};

/// The WM_NORMAL_HINTS of a shown window: the size hints the window manager
/// reads. Defined in the .cpp because the X11 headers define macros (Status,
/// None) that clash with ordinary names.
WmSizeHints ReadWmSizeHints(Fl_Window* window);

/// What the screen shows of `width` x `height` pixels at `x`, `y` in
/// `window`.
Pixels ReadPixels(Fl_Window* window, int x, int y, int width, int height);

/// Runs the event loop until `window` is mapped.
inline void WaitUntilMapped(Fl_Window* window) {
  for (int i = 0; i < 200 && !window->visible_r(); ++i) Fl::wait(0.01);
  Fl::check();
}

}  // namespace velkrane::testing
