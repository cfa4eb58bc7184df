#include "fileio/text.h"

#include <algorithm>

namespace velkrane {

Utf8Char DecodeUtf8(std::string_view text, std::size_t at,
                    Surrogates surrogates) {
  const auto byte = [&](std::size_t i) {
    return static_cast<unsigned char>(text[i]);
  };
  const unsigned lead = byte(at);
  if (lead < 0x80) return {lead, 1};
  // Continuation bytes after the lead, the lead's payload, and the least
  // value that needs this many bytes.
  std::size_t extra = 0;
  char32_t code = 0;
  char32_t least = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    code = lead & 0x1F;
    least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    code = lead & 0x0F;
    least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    code = lead & 0x07;
    least = 0x10000;
  } else {
    return {};
  }
  if (at + extra >= text.size()) return {};
  for (std::size_t i = 1; i <= extra; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return {};
    code = (code << 6) | (byte(at + i) & 0x3F);
  }
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  if (code < least || code > 0x10FFFF ||
      (surrogate && surrogates == Surrogates::kRefused)) {
    return {};
  }
  return {code, extra + 1};
}

void AppendUtf8(char32_t code, std::string& out) {
  const auto put = [&](unsigned value) { out += static_cast<char>(value); };
  if (code < 0x80) {
    put(code);
  } else if (code < 0x800) {
    put(0xC0 | (code >> 6));
    put(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    put(0xE0 | (code >> 12));
    put(0x80 | ((code >> 6) & 0x3F));
    put(0x80 | (code & 0x3F));
  } else {
    put(0xF0 | (code >> 18));
    put(0x80 | ((code >> 12) & 0x3F));
    put(0x80 | ((code >> 6) & 0x3F));
    put(0x80 | (code & 0x3F));
  }
}

char FoldAsciiCase(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return FoldAsciiCase(x) == FoldAsciiCase(y);
         });
}

}  // namespace velkrane
