#include "tests/fltk_window_test_util.h"

#include <memory>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xutil.h>

namespace velkrane::testing {

WmSizeHints ReadWmSizeHints(Fl_Window* window) {
  XSizeHints hints{};
  long supplied = 0;
  WmSizeHints result;
  if (!XGetWMNormalHints(fl_display, fl_xid(window), &hints, &supplied)) {
    return result;
  }
  result.has_min = hints.flags & PMinSize;
  result.has_max = hints.flags & PMaxSize;
  result.min_width = hints.min_width;
  result.min_height = hints.min_height;
  result.max_width = hints.max_width;
  result.max_height = hints.max_height;
  return result;
}

Pixels ReadPixels(Fl_Window* window, int x, int y, int width, int height) {
  // An expose still on its way would clear the window after it is read;
  // once the server has sent it, FLTK draws what it cleared.
  XSync(fl_display, False);
  Fl::check();
  window->make_current();
  const std::unique_ptr<uchar[]> rgb(
      fl_read_image(nullptr, x, y, width, height));
  Pixels pixels;
  pixels.width = width;
  pixels.height = height;
  pixels.rgb.assign(rgb.get(), rgb.get() + width * height * 3);
  return pixels;
}

}  // namespace velkrane::testing
