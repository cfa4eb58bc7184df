#pragma once

// Small X3F files built byte by byte: a "FOVb" header, sections that start
// with their signatures, the directory listing them, and its offset.

#include <cstdint>
#include <string>
#include <vector>

#include "test_util.h"

namespace velkrane::testing {

/// The order the rule was made for: the file ends in "PROP" and the offset.
inline const std::vector<std::string> kPropLast = {"CAMF", "IMAG", "IMA2", "PROP"};
/// The order of later cameras: the file ends in "IMA2" and the offset.
inline const std::vector<std::string> kIma2Last = {"CAMF", "PROP", "IMA2", "IMA2"};

inline void PutUint32(Bytes& bytes, std::size_t pos, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    bytes.at(pos + static_cast<std::size_t>(i)) = static_cast<unsigned char>(value >> (8 * i));
  }
}

inline void Append(Bytes& bytes, const std::string& text) {
  bytes.insert(bytes.end(), text.begin(), text.end());
}

inline void AppendUint32(Bytes& bytes, std::uint32_t value) {
  bytes.resize(bytes.size() + 4);
  PutUint32(bytes, bytes.size() - 4, value);
}

inline const char* SectionSignature(const std::string& type) {
  if (type == "PROP") return "SECp";
  if (type == "CAMF") return "SECc";
  if (type == "IMAG" || type == "IMA2") return "SECi";
  return "SECx";
}

/// An X3F whose sections lie in the file in directory order, each
/// `section_size` bytes of its signature and filler (which holds no 'P').
struct X3fLayout {
  Bytes bytes;
  std::uint32_t directory = 0;         // offset of "SECd"
  std::vector<std::uint32_t> offsets;  // of each section
};

inline X3fLayout MakeX3f(const std::vector<std::string>& types, unsigned seed = 1,
                         std::size_t section_size = 40) {
  X3fLayout x3f;
  Append(x3f.bytes, "FOVb");
  const Bytes header = Filler(12, seed);
  x3f.bytes.insert(x3f.bytes.end(), header.begin(), header.end());
  for (std::size_t k = 0; k < types.size(); ++k) {
    x3f.offsets.push_back(static_cast<std::uint32_t>(x3f.bytes.size()));
    Append(x3f.bytes, SectionSignature(types[k]));
    const Bytes body = Filler(section_size - 4, seed * 100 + static_cast<unsigned>(k));
    x3f.bytes.insert(x3f.bytes.end(), body.begin(), body.end());
  }
  x3f.directory = static_cast<std::uint32_t>(x3f.bytes.size());
  Append(x3f.bytes, "SECd");
  AppendUint32(x3f.bytes, 0x00020000);
  AppendUint32(x3f.bytes, static_cast<std::uint32_t>(types.size()));
  for (std::size_t k = 0; k < types.size(); ++k) {
    AppendUint32(x3f.bytes, x3f.offsets[k]);
    AppendUint32(x3f.bytes, static_cast<std::uint32_t>(section_size));
    Append(x3f.bytes, types[k]);
  }
  AppendUint32(x3f.bytes, x3f.directory);
  return x3f;
}

inline Bytes Joined(Bytes first, const Bytes& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

inline Bytes Prefix(const Bytes& bytes, std::size_t length) {
  return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
}

}  // namespace velkrane::testing
