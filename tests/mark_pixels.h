#pragma once

// Which outcome mark a list row shows, read from the pixels of the square
// cell at its left edge as the screen shows them.

#include <algorithm>
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

/// The pixels of `cell` in `mark`'s colour: how many, and how many columns
/// lie from the first to the last of them.
struct MarkPixels {
  int count = 0, width = 0;
};

inline MarkPixels PixelsOf(const Pixels& cell, OutcomeMark mark) {
  const MarkColour c = ColourOf(mark);
  MarkPixels found;
  int first = cell.width, last = -1;
  for (int i = 0; i < cell.width * cell.height; ++i) {
    const unsigned char* p = &cell.rgb[3 * static_cast<std::size_t>(i)];
    const int distance = std::abs(p[0] - c.red) + std::abs(p[1] - c.green) +
                         std::abs(p[2] - c.blue);
    if (distance >= 60) continue;
    ++found.count;
    first = std::min(first, i % cell.width);
    last = std::max(last, i % cell.width);
  }
  found.width = last < first ? 0 : last - first + 1;
  return found;
}

/// The mark whose colour most pixels of `cell` have; none when no more than
/// a stray pixel or two have any mark's colour.
inline std::optional<OutcomeMark> MarkIn(const Pixels& cell) {
  std::optional<OutcomeMark> best;
  int best_count = 2;
  for (const OutcomeMark mark :
       {OutcomeMark::kWritten, OutcomeMark::kNoTailFound,
        OutcomeMark::kFailed}) {
    const int count = PixelsOf(cell, mark).count;
    if (count > best_count) {
      best = mark;
      best_count = count;
    }
  }
  return best;
}

}  // namespace velkrane::testing
