#include "x3f/x3f_properties.h"

#include <cstring>
#include <string>
#include <vector>

namespace velkrane {

namespace {

constexpr std::size_t kHeadSize = 24;
constexpr std::size_t kEntrySize = 8;
constexpr std::uint32_t kUtf16 = 0;

// The zero-ended UTF-16 string at character `at` of `chars`, as ASCII; a
// character outside ASCII or a missing end gives nothing.
std::optional<std::string> AsciiAt(const unsigned char* chars,
                                   std::size_t count, std::uint32_t at) {
  std::string text;
  for (std::size_t k = at; k < count; ++k) {
    const unsigned code = chars[2 * k] | chars[2 * k + 1] << 8;
    if (code == 0) return text;
    if (code > 0x7F) return std::nullopt;
    text.push_back(static_cast<char>(code));
  }
  return std::nullopt;
}

std::optional<std::int64_t> SecondsIn(const std::string& text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  std::int64_t seconds = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    seconds = seconds * 10 + (c - '0');
  }
  return seconds;
}

}  // namespace

std::optional<std::int64_t> CaptureTime(const ReadAtFunction& read,
                                        const X3fVerdict& verdict) {
  for (const X3fSection& section : verdict.sections) {
    if (section.type != "PROP" || section.length < kHeadSize ||
        section.length > kMaxPropertiesLength) {
      continue;
    }
    std::vector<unsigned char> bytes(section.length);
    read(section.offset, bytes.data(), bytes.size());
    if (std::memcmp(bytes.data(), "SECp", 4) != 0 ||
        ReadUint32(&bytes[12]) != kUtf16) {
      continue;
    }
    const std::uint32_t entries = ReadUint32(&bytes[8]);
    const std::size_t chars_at = kHeadSize + std::size_t{entries} * kEntrySize;
    if (entries > section.length / kEntrySize || chars_at > bytes.size()) {
      continue;
    }
    const unsigned char* chars = bytes.data() + chars_at;
    const std::size_t count = (bytes.size() - chars_at) / 2;
    for (std::uint32_t k = 0; k < entries; ++k) {
      const unsigned char* entry = &bytes[kHeadSize + k * kEntrySize];
      if (AsciiAt(chars, count, ReadUint32(entry)) != std::string("TIME")) {
        continue;
      }
      const auto value = AsciiAt(chars, count, ReadUint32(entry + 4));
      if (value) return SecondsIn(*value);
    }
  }
  return std::nullopt;
}

}  // namespace velkrane
