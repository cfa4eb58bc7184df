#pragma once

// The text rules every layer shares: one UTF-8 decoder and one ASCII case
// fold, so that no two places read the same bytes differently.

#include <cstddef>
#include <string>
#include <string_view>

namespace velkrane {

/// What a byte that starts no character reads as.
constexpr char32_t kReplacementChar = 0xFFFD;

/// Whether U+D800..U+DFFF, which are no characters, decode.
enum class Surrogates {
  kRefused,
  /// Three-byte forms decode, as WTF-8 holds the Windows names that UTF-16
  /// cannot: an unpaired surrogate travels inside as one.
  kAllowed,
};

struct Utf8Char {
  char32_t code = kReplacementChar;
  /// Bytes taken, at least 1.
  std::size_t length = 1;
};

/// The character that starts at byte `at` (< text.size()). Overlong forms,
/// values past U+10FFFF, cut-short sequences and refused surrogates start no
/// character: their first byte alone reads as kReplacementChar.
Utf8Char DecodeUtf8(std::string_view text, std::size_t at,
                    Surrogates surrogates = Surrogates::kRefused);

/// Appends `code` (at most U+10FFFF) in UTF-8; a surrogate as its three-byte
/// WTF-8 form.
void AppendUtf8(char32_t code, std::string& out);

/// 'A'..'Z' as 'a'..'z', every other byte as it is: the rule for the names
/// the program itself looks for (".x3f", "PostProcessed", "file:").
char FoldAsciiCase(char c);

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace velkrane
