#pragma once

// Which outcome mark a list row shows, read from the pixels of the square
// cell at its left edge as the screen shows them.

#include <cstdlib>
#include <optional>
#include <vector>

#include "ui/shared/list_outcomes.h"

namespace velkrane::testing {

/// Pixels as RGB bytes by rows.
struct Pixels {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
};

inline bool HasColour(const Pixels& cell, int x, int y, MarkColour colour) {
  const unsigned char* p =
      &cell.rgb[(static_cast<std::size_t>(y) * cell.width + x) * 3];
  return std::abs(p[0] - colour.red) + std::abs(p[1] - colour.green) +
             std::abs(p[2] - colour.blue) <
         60;
}

/// How many columns of `cell` hold pixels of `mark`'s colour, from the first
/// to the last.
inline int MarkWidth(const Pixels& cell, OutcomeMark mark) {
  int first = cell.width, last = -1;
  for (int y = 0; y < cell.height; ++y) {
    for (int x = 0; x < cell.width; ++x) {
      if (!HasColour(cell, x, y, ColourOf(mark))) continue;
      if (x < first) first = x;
      if (x > last) last = x;
    }
  }
  return last < first ? 0 : last - first + 1;
}

/// The mark whose colour most pixels of `cell` have; none when no more than
/// a stray pixel or two have any mark's colour.
inline std::optional<OutcomeMark> MarkIn(const Pixels& cell) {
  std::optional<OutcomeMark> best;
  int best_count = 2;
  for (const OutcomeMark mark :
       {OutcomeMark::kWritten, OutcomeMark::kNoTailFound,
        OutcomeMark::kFailed}) {
    int count = 0;
    for (int y = 0; y < cell.height; ++y) {
      for (int x = 0; x < cell.width; ++x) {
        count += HasColour(cell, x, y, ColourOf(mark));
      }
    }
    if (count > best_count) {
      best = mark;
      best_count = count;
    }
  }
  return best;
}

}  // namespace velkrane::testing
