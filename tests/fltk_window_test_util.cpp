#include "tests/fltk_window_test_util.h"

#include <FL/Fl_Window.H>
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

}  // namespace velkrane::testing
