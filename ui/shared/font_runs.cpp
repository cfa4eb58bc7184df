#include "ui/shared/font_runs.h"

namespace velkrane {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kZeroWidthJoiner = 0x200D;

/// The character that starts at `at`, and its length in bytes. Overlong
/// forms, surrogates and values past U+10FFFF are not characters.
char32_t DecodeAt(const std::string& text, std::size_t at,
                  std::size_t& length) {
  const auto byte = [&](std::size_t i) {
    return static_cast<unsigned char>(text[i]);
  };
  const unsigned lead = byte(at);
  length = 1;
  if (lead < 0x80) return lead;
  // Continuation bytes after the lead, the lead's payload, the least value
  // that needs this many bytes.
  std::size_t extra = 0;
  char32_t c = 0;
  char32_t least = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    c = lead & 0x1F;
    least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    c = lead & 0x0F;
    least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    c = lead & 0x07;
    least = 0x10000;
  } else {
    return kReplacement;
  }
  if (at + extra >= text.size()) return kReplacement;
  for (std::size_t i = 1; i <= extra; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return kReplacement;
    c = (c << 6) | (byte(at + i) & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
    return kReplacement;
  length = extra + 1;
  return c;
}

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
    std::size_t length = 0;
    const char32_t c = DecodeAt(text, at, length);
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
