#include "ui/shared/text_wrap.h"

#include <gtest/gtest.h>

namespace velkrane {
namespace {

// One unit per character, however many bytes it takes in UTF-8.
int CharCount(const std::string& text) {
  int count = 0;
  for (const char c : text)
    count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

TEST(TextWrap, BreaksAtSpacesThenInsideLongWords) {
  using Lines = std::vector<std::string>;
  const struct {
    const char* text;
    int max_width;
    Lines want;
  } cases[] = {
      {"short", 10, {"short"}},
      {"one two three", 7, {"one two", "three"}},
      {"one two three", 13, {"one two three"}},
      {"abcdefghij", 4, {"abcd", "efgh", "ij"}},
      {"ab cdefghij", 4, {"ab", "cdef", "ghij"}},
      {"/a/PostProcessed/", 8, {"/a/PostP", "rocessed", "/"}},
      {"a\nb c", 10, {"a", "b c"}},
      {"", 5, {""}},
      {"\u00e9\u00e9\u00e9",
       2,
       {"\u00e9\u00e9", "\u00e9"}},  // whole characters
      {"abc", 0, {"a", "b", "c"}},   // still ends when nothing fits
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.want, WrapText(c.text, c.max_width, CharCount))
        << c.text << " at " << c.max_width;
  }
}

}  // namespace
}  // namespace velkrane
