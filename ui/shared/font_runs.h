#pragma once

// For toolkits that draw a string in one font: a text split into runs, each
// in the first font that has its characters, so that a name in a script the
// window's font lacks is drawn in a font that has it, not as empty boxes.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace velkrane {

/// Bytes [begin, end) of a UTF-8 text, drawn in font number `font`.
struct FontRun {
  std::size_t begin;
  std::size_t end;
  int font;

  bool operator==(const FontRun& o) const {
    return begin == o.begin && end == o.end && font == o.font;
  }
};

/// The font of a run that is not drawn at all: joiners and variation
/// selectors only steer the shaping of their neighbours, which these
/// toolkits do not do; drawn as glyphs they show as gaps or boxes.
constexpr int kNotDrawn = -1;

/// Whether font number `font` has a glyph for `c`. Font 0 is the window's
/// own; the others stand in for it, most preferred first.
using CoversChar = std::function<bool(int font, char32_t c)>;

/// `text` split into runs of one font each, covering every byte in order.
/// A character goes to the first of fonts 0..font_count-1 that covers it,
/// or to font 0 when none does. A mark that belongs to the character before
/// it (combining accent, variation selector, joiner, skin tone, or the
/// character after a joiner) stays in that character's font when the font
/// has it, so a sequence is not torn across fonts. Joiners and variation
/// selectors go to kNotDrawn. A byte that does not start valid UTF-8 counts
/// as one U+FFFD.
std::vector<FontRun> SplitIntoFontRuns(const std::string& text, int font_count,
                                       const CoversChar& covers);

}  // namespace velkrane
