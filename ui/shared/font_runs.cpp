#include "ui/shared/font_runs.h"

#include "fileio/text.h"

namespace velkrane {

namespace {

constexpr char32_t kZeroWidthJoiner = 0x200D;

/// Joiners and variation selectors: they pick how their neighbours look.
bool IsSelector(char32_t c) {
  return c == 0x200C || c == kZeroWidthJoiner || (c >= 0xFE00 && c <= 0xFE0F) ||
         (c >= 0xE0100 && c <= 0xE01EF);
}

/// Marks drawn onto the character before them rather than on their own.
bool BelongsToPrevious(char32_t c) {
  return (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) ||
         (c >= 0x1DC0 && c <= 0x1DFF) || (c >= 0x20D0 && c <= 0x20FF) ||
         (c >= 0xFE20 && c <= 0xFE2F) || c == 0x3099 || c == 0x309A ||
         (c >= 0x1F3FB && c <= 0x1F3FF) || (c >= 0xE0020 && c <= 0xE007F);
}

}  // namespace

std::vector<FontRun> SplitIntoFontRuns(const std::string& text, int font_count,
                                       const CoversChar& covers) {
  std::vector<FontRun> runs;
  char32_t previous = 0;
  // The font of the last character drawn; none yet.
  int drawn_font = kNotDrawn;
  for (std::size_t at = 0; at < text.size();) {
    const auto [c, length] = DecodeUtf8(text, at);
    int font = kNotDrawn;
    if (!IsSelector(c)) {
      const bool attached =
          drawn_font != kNotDrawn &&
          (BelongsToPrevious(c) || previous == kZeroWidthJoiner);
      if (attached && covers(drawn_font, c)) font = drawn_font;
      for (int i = 0; font == kNotDrawn && i < font_count; ++i) {
        if (covers(i, c)) font = i;
      }
      // No font has it: the window's font shows its usual box, and a stray
      // mark at least stays with its character.
      if (font == kNotDrawn) font = attached ? drawn_font : 0;
      drawn_font = font;
    }

    if (!runs.empty() && runs.back().font == font) {
      runs.back().end = at + length;
    } else {
      runs.push_back({at, at + length, font});
    }
    previous = c;
    at += length;
  }
  return runs;
}

}  // namespace velkrane
