#pragma once

// Which installed font family the Linux window uses for all its text.

#include <string>
#include <vector>

namespace velkrane {

/// 8 point at 96 dots per inch.
constexpr int kUiFontPixels = 11;

/// The first of Tahoma, Liberation Sans (Arial's widths, close to Tahoma's)
/// and DejaVu Sans found in `installed`, compared without regard to case;
/// empty when none is, and the toolkit's own sans-serif stays.
std::string PickUiFontFamily(const std::vector<std::string>& installed);

}  // namespace velkrane
