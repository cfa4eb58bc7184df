#pragma once

// Line breaking for message boxes whose toolkit wraps only at spaces: a long
// path must still break at the box's edge.

#include <functional>
#include <string>
#include <vector>

namespace velkrane {

/// `text` broken into lines that `width_of` finds no wider than `max_width`.
/// Breaks at spaces (dropping that space) where it can, inside a word only
/// when the word alone is too wide, and never inside a UTF-8 character.
/// Line breaks already in the text are kept; every line holds at least one
/// character, so a box narrower than one character still ends.
std::vector<std::string> WrapText(
    const std::string& text, int max_width,
    const std::function<int(const std::string&)>& width_of);

/// The lines joined by '\n'.
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace velkrane
