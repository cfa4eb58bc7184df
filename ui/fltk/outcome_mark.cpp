#include "ui/fltk/outcome_mark.h"

#include <FL/fl_draw.H>

namespace velkrane {

void DrawOutcomeMark(OutcomeMark mark, int x, int y, int size) {
  const MarkColour colour = ColourOf(mark);
  fl_color(colour.red, colour.green, colour.blue);
  fl_line_style(FL_SOLID | FL_CAP_SQUARE, MarkLineWidth(size));
  for (const MarkStroke& s : MarkStrokes(mark, size)) {
    fl_line(x + s.x0, y + s.y0, x + s.x1, y + s.y1);
  }
  // Back to the default, which the rest of the list draws with.
  fl_line_style(0);
}

}  // namespace velkrane
