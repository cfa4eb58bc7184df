#pragma once

// Small X3F files built byte by byte: a "FOVb" header, sections that start
// with their signatures, the directory listing them, and its offset.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "fileio/error.h"
#include "test_util.h"
#include "x3f/end_search.h"
#include "x3f/signature_filter.h"
#include "x3f/x3f_structure.h"

namespace velkrane::testing {

/// The order the rule was made for: the file ends in "PROP" and the offset.
inline const std::vector<std::string> kPropLast = {"CAMF", "IMAG", "IMA2",
                                                   "PROP"};
/// The order of later cameras: the file ends in "IMA2" and the offset.
inline const std::vector<std::string> kIma2Last = {"CAMF", "PROP", "IMA2",
                                                   "IMA2"};

inline void PutUint32(Bytes& bytes, std::size_t pos, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i)
    bytes.at(pos + i) = static_cast<unsigned char>(value >> (8 * i));
}

/// An X3F whose sections lie in the file in directory order, each
/// `section_size` bytes of its signature and filler (which holds no 'P').
struct X3fLayout {
  Bytes bytes;
  std::uint32_t directory = 0;         // offset of "SECd"
  std::vector<std::uint32_t> offsets;  // of each section
};

/// The signature a section of `type` starts with.
inline std::string SectionSignature(const std::string& type) {
  return type == "PROP"   ? "SECp"
         : type == "CAMF" ? "SECc"
         : type == "SPPA" ? "SECs"
         : type[0] == 'I' ? "SECi"
                          : "SECx";
}

/// A directory at `directory` listing sections of `types` at `offsets`, each
/// `length` bytes long, followed by its offset: the last bytes of an X3F.
inline Bytes DirectoryBytes(const std::vector<std::string>& types,
                            const std::vector<std::uint32_t>& offsets,
                            std::size_t length, std::uint32_t directory) {
  // Sized first and written in place: GCC 12 at -O2 reads the growing
  // inserts of 4-byte texts as overflows (-Wstringop-overflow).
  Bytes b(12 + 12 * types.size() + 4);
  Plant(b, 0, "SECd");
  PutUint32(b, 4, 0x00020000);
  PutUint32(b, 8, static_cast<std::uint32_t>(types.size()));
  for (std::size_t k = 0; k < types.size(); ++k) {
    const std::size_t entry = 12 + 12 * k;
    PutUint32(b, entry, offsets[k]);
    PutUint32(b, entry + 4, static_cast<std::uint32_t>(length));
    Plant(b, entry + 8, types[k].c_str());
  }
  PutUint32(b, b.size() - 4, directory);
  return b;
}

/// The version a camera writes after "FOVb" (2.2), which makes the header
/// one a card's recovery looks for.
inline const Bytes kX3fVersion = {0x02, 0x00, 0x02, 0x00};

inline X3fLayout MakeX3f(const std::vector<std::string>& types,
                         unsigned seed = 1, std::size_t section_size = 40) {
  X3fLayout x3f;
  Bytes& b = x3f.bytes;
  // Sized first and written in place, as DirectoryBytes is, for GCC 12.
  b = {'F', 'O', 'V', 'b'};
  b.resize(16);
  std::copy(kX3fVersion.begin(), kX3fVersion.end(), b.begin() + 4);
  for (std::size_t k = 0; k < types.size(); ++k) {
    x3f.offsets.push_back(static_cast<std::uint32_t>(b.size()));
    const std::string signature = SectionSignature(types[k]);
    b.insert(b.end(), signature.begin(), signature.end());
    const Bytes body =
        Filler(section_size - 4, seed * 100 + static_cast<unsigned>(k));
    b.insert(b.end(), body.begin(), body.end());
  }
  x3f.directory = static_cast<std::uint32_t>(b.size());
  const Bytes directory =
      DirectoryBytes(types, x3f.offsets, section_size, x3f.directory);
  b.insert(b.end(), directory.begin(), directory.end());
  return x3f;
}

/// A file of camera size written sparsely: only its pieces hold data, zeros
/// lie between, so a 45 MB file costs the disk and the tests next to nothing.
struct SparseFile {
  std::int64_t size = 0;
  std::vector<std::pair<std::int64_t, Bytes>> pieces;  // later ones win

  SparseFile& Put(std::int64_t at, const Bytes& bytes) {
    pieces.emplace_back(at, bytes);
    size = std::max(size, at + static_cast<std::int64_t>(bytes.size()));
    return *this;
  }
  SparseFile& Put(std::int64_t at, const std::string& text) {
    return Put(at, Bytes(text.begin(), text.end()));
  }
  SparseFile& Grow(std::int64_t new_size) {
    size = std::max(size, new_size);
    return *this;
  }
};

/// An X3F of `length` bytes: the header, sections of `types` sharing the
/// room up to the directory (each its signature, then zeros), the directory.
inline SparseFile LargeX3f(const std::vector<std::string>& types,
                           std::int64_t length) {
  SparseFile file;
  Bytes header = BytesOf("FOVb");
  header.resize(8);
  std::copy(kX3fVersion.begin(), kX3fVersion.end(), header.begin() + 4);
  file.Put(0, header);
  const auto directory = static_cast<std::uint32_t>(
      length - 16 - 12 * static_cast<std::int64_t>(types.size()));
  const std::size_t section = (directory - 16) / types.size();
  std::vector<std::uint32_t> offsets;
  for (std::size_t k = 0; k < types.size(); ++k) {
    offsets.push_back(static_cast<std::uint32_t>(16 + k * section));
    file.Put(offsets.back(), SectionSignature(types[k]));
  }
  return file.Put(directory,
                  DirectoryBytes(types, offsets, section, directory));
}

/// Writes `file` with holes between its pieces where the file system has them.
inline void WriteSparse(const std::string& path, const SparseFile& file) {
  std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
  // Its last byte first: the file gets its whole size, and a piece there
  // still wins.
  out.seekp(file.size - 1);
  out.put('\0');
  for (const auto& piece : file.pieces) {
    out.seekp(piece.first);
    out.write(reinterpret_cast<const char*>(piece.second.data()),
              static_cast<std::streamsize>(piece.second.size()));
  }
  if (!out) throw std::runtime_error("cannot write test file " + path);
}

inline Bytes Joined(Bytes first, const Bytes& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

/// Reads from memory; a read that reaches `limit` or past it sets `overran`
/// and fails as a short file read would.
inline ReadAtFunction ReaderOf(const Bytes& bytes, std::int64_t limit,
                               bool& overran) {
  return [&bytes, limit, &overran](std::int64_t offset, void* data,
                                   std::size_t size) {
    if (offset < 0 || offset + static_cast<std::int64_t>(size) > limit) {
      overran = true;
      throw Error(kStreamReadError);
    }
    std::memcpy(data, bytes.data() + offset, size);
  };
}

// The definition, position by position: the highest "SECd" whose directory
// ends at e <= n with its own offset in the 4 bytes before e, and makes the
// first e bytes a complete X3F; and the last "PROP" in the first `window`
// bytes above where that stops.
inline X3fEnds ReferenceEnds(const Bytes& bytes, std::int64_t window = -1) {
  X3fEnds want;
  const auto n = static_cast<std::int64_t>(bytes.size());
  std::int64_t stop = 0;
  for (std::int64_t d = n - 16; d >= 4 && want.end == kNoTail; --d) {
    const auto at = static_cast<std::size_t>(d);
    if (!IsDirectoryAt(bytes.data(), at)) continue;
    const std::int64_t e = X3fEndFor(d, ReadUint32(&bytes[at + 8]));
    if (e > n || ReadUint32(&bytes[static_cast<std::size_t>(e - 4)]) != d)
      continue;
    bool overran = false;
    if (CheckX3fStructure(ReaderOf(bytes, e, overran), e).complete) {
      want.end = e;
      stop = d;
    }
  }
  const std::int64_t top = window < 0 ? n : std::min(window, n);
  for (std::int64_t p = top - 4; p >= 7 && p > stop; --p) {
    if (IsTailSignatureAt(bytes.data(), static_cast<std::size_t>(p))) {
      want.rule_tail = p;
      break;
    }
  }
  return want;
}

}  // namespace velkrane::testing
