#include "ui/shared/font_runs.h"

#include <gtest/gtest.h>

namespace velkrane {
namespace {

// Five made-up fonts, each covering a few ranges of characters.
struct Range {
  char32_t first, last;
};
const std::vector<Range> kFonts[] = {
    /* 0 window */ {{0x20, 0x7E}, {0x2764, 0x2764}, {0x0301, 0x0301}},
    /* 1 CJK    */ {{0x30, 0x39}, {0x3000, 0x9FFF}, {0x0301, 0x0302}},
    /* 2 emoji  */
    {{0x30, 0x39}, {0x200D, 0x200D}, {0xFE0F, 0xFE0F}, {0x1F300, 0x1FAFF}},
    /* 3 marks  */ {{0x0300, 0x036F}},
    /* 4 U+FFFD */ {{0xFFFD, 0xFFFD}},
};

bool Covers(int font, char32_t c) {
  for (const Range& r : kFonts[font]) {
    if (c >= r.first && c <= r.last) return true;
  }
  return false;
}

TEST(FontRuns, EachCharacterInTheFirstFontThatHasIt) {
  using Runs = std::vector<FontRun>;
  const struct {
    const char* text;
    Runs want;
    int fonts = 5;
  } cases[] = {
      {"", {}},
      {"IMG_0003.X3F", {{0, 12, 0}}},
      // Digits stay in the window's font even though the CJK font has them.
      {"\u5199\u771f0003.X3F", {{0, 6, 1}, {6, 14, 0}}},
      // With the window's font alone, everything is drawn in it.
      {"\u5199\u771f0003.X3F", {{0, 14, 0}}, 1},
      {"a \U0001F305.X3F", {{0, 2, 0}, {2, 6, 2}, {6, 10, 0}}},
      // A mark stays with its character where that font has it...
      {"a\u0301", {{0, 3, 0}}},
      {"\u5199\u0301", {{0, 5, 1}}},
      // ...and goes to a font that has it where it does not.
      {"\u5199\u0300", {{0, 3, 1}, {3, 5, 3}}},
      // A skin tone, and what follows a joiner, stay in the emoji's run;
      // joiners and variation selectors are not drawn.
      {"\U0001F44D\U0001F3FD", {{0, 8, 2}}},
      {"\U0001F469\u200D\U0001F4BB!",
       {{0, 4, 2}, {4, 7, kNotDrawn}, {7, 11, 2}, {11, 12, 0}}},
      {"\U0001F600\u200D1", {{0, 4, 2}, {4, 7, kNotDrawn}, {7, 8, 2}}},
      {"\u2764\uFE0F.", {{0, 3, 0}, {3, 6, kNotDrawn}, {6, 7, 0}}},
      {"\uFE0F\u200C", {{0, 6, kNotDrawn}}},
      // Nobody has U+0378: the window's font; a stray mark at the start.
      {"a\u0378b", {{0, 4, 0}}},
      {"\u0300a", {{0, 2, 3}, {2, 3, 0}}},
      {"\u5199\u1AB0", {{0, 6, 1}}},  // a mark nobody has stays in its run
      // Broken UTF-8: one U+FFFD per byte that starts no character.
      {"a\xFF\xE5\x86"
       "b",
       {{0, 1, 0}, {1, 4, 4}, {4, 5, 0}}},
      {"\xC0\xAF", {{0, 2, 4}}},              // overlong '/'
      {"\xED\xA0\x80", {{0, 3, 4}}},          // a surrogate
      {"x\xE5\x86", {{0, 1, 0}, {1, 3, 4}}},  // cut short at the end
      {"\xF4\x90\x80\x80", {{0, 4, 4}}},      // past U+10FFFF
  };
  for (const auto& c : cases) {
    const auto covers = [&c](int font, char32_t ch) {
      EXPECT_LT(font, c.fonts)
          << "asked a font not given for " << std::hex << ch;
      return font < c.fonts && Covers(font, ch);
    };
    EXPECT_EQ(c.want, SplitIntoFontRuns(c.text, c.fonts, covers)) << c.text;
  }
}

}  // namespace
}  // namespace velkrane
