#include "fileio/text.h"

#include <gtest/gtest.h>

namespace velkrane {
namespace {

TEST(Text, DecodesStrictUtf8AndWtf8Surrogates) {
  constexpr char32_t kBad = kReplacementChar;
  const struct {
    const char* bytes;
    char32_t strict;
    std::size_t strict_length;
    char32_t wtf8;  // with surrogates allowed
  } cases[] = {
      {"A", 'A', 1, 'A'},
      {"\xC3\xA9", 0xE9, 2, 0xE9},
      {"\xE5\x86\x99", 0x5199, 3, 0x5199},
      {"\xF0\x9F\x8C\x85", 0x1F305, 4, 0x1F305},
      {"\xF4\x8F\xBF\xBF", 0x10FFFF, 4, 0x10FFFF},
      {"\xF4\x90\x80\x80", kBad, 1, kBad},  // past U+10FFFF
      {"\xC0\xAF", kBad, 1, kBad},          // overlong '/'
      {"\xE0\x80\xAF", kBad, 1, kBad},
      {"\xED\xA0\x80", kBad, 1, 0xD800},  // a lone surrogate
      {"\xED\xBF\xBF", kBad, 1, 0xDFFF},
      {"\xE5\x86", kBad, 1, kBad},  // cut short
      {"\xE5z", kBad, 1, kBad},
      {"\x80", kBad, 1, kBad},  // a stray continuation byte
      {"\xFF", kBad, 1, kBad},
  };
  for (const auto& c : cases) {
    const Utf8Char strict = DecodeUtf8(c.bytes, 0);
    EXPECT_EQ(c.strict, strict.code) << c.bytes;
    EXPECT_EQ(c.strict_length, strict.length) << c.bytes;
    const Utf8Char wtf8 = DecodeUtf8(c.bytes, 0, Surrogates::kAllowed);
    EXPECT_EQ(c.wtf8, wtf8.code) << c.bytes;
    if (c.wtf8 != c.strict) {
      EXPECT_EQ(3u, wtf8.length) << c.bytes;
    }
  }
  // Decoding starts where it is told, and never reads past the end.
  EXPECT_EQ(0x5199u, DecodeUtf8("ab\xE5\x86\x99", 2).code);
  EXPECT_EQ(kBad, DecodeUtf8(std::string_view("\xE5\x86\x99", 2), 0).code);
}

TEST(Text, EncodesWhatItDecodes) {
  for (const char32_t code :
       {0x41u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xD800u, 0xDFFFu, 0xFFFFu,
        0x10000u, 0x1F305u, 0x10FFFFu}) {
    std::string bytes = "x";
    AppendUtf8(code, bytes);
    const Utf8Char back = DecodeUtf8(bytes, 1, Surrogates::kAllowed);
    EXPECT_EQ(code, back.code) << std::hex << code;
    EXPECT_EQ(bytes.size() - 1, back.length) << std::hex << code;
  }
}

TEST(Text, FoldsAsciiLettersOnly) {
  const struct {
    const char* a;
    const char* b;
    bool equal;
  } cases[] = {
      {"PostProcessed", "postprocessed", true},
      {"IMG.X3F", "img.x3f", true},
      {"abc", "abcd", false},
      {"[", "{", false},  // one bit apart, as 'A' and 'a', but no letters
      {"@", "`", false},
      {"\xC3\x89", "\xC3\xA9", false},  // only ASCII folds
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.equal, EqualIgnoringAsciiCase(c.a, c.b)) << c.a << " " << c.b;
  }
}

}  // namespace
}  // namespace velkrane
