#pragma once

#include <string>

namespace velkrane {

/// Sets the toolkit's colours and scheme and makes the interface font
/// Tahoma 11 px, or the closest sans-serif installed. Opens the display.
/// Returns the family in use, empty for the toolkit's own sans-serif.
std::string SetUpLook();

}  // namespace velkrane
