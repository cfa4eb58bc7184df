#pragma once

// The outcome marks of the list rows, drawn with FLTK. Apart from MainUnit
// because FL/fl_draw.H brings X11's macros named like the window's buttons.

#include "ui/shared/list_outcomes.h"

namespace velkrane {

/// Draws `mark` in the square cell of `size` pixels at `x`, `y`.
void DrawOutcomeMark(OutcomeMark mark, int x, int y, int size);

}  // namespace velkrane
