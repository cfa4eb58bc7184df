#pragma once

// The layout of an X3F file, as far as the repair needs it: a "FOVb" header,
// sections that each start with their own signature, and a directory ("SECd",
// version, entry count, 12-byte entries) followed by the 4-byte offset of that
// directory, which ends the file. All integers are little-endian uint32.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace velkrane {

class InputFile;
class OutputFile;

struct X3fSection {
  std::uint32_t offset = 0, length = 0;
  std::string type;  // the entry's 4 bytes as stored ("PROP", "IMA2", ...)
};

/// The first thing that keeps bytes from being one complete X3F.
enum class X3fProblem {
  kNone,
  kNoHeader,          // no "FOVb" at the start
  kOffsetOutside,     // the directory offset points past the bytes
  kNoDirectory,       // no "SECd" at directory_offset
  kDirectoryEnd,      // the directory does not end where the bytes end
  kNoSections,        // the directory lists no section
  kTooManySections,   // more than kMaxX3fSections entries (see `count`)
  kSectionOutside,    // the last of `sections` lies outside the file
  kSectionSignature,  // the last of `sections` lacks its signature
};

struct X3fVerdict {
  bool complete = false;
  X3fProblem problem = X3fProblem::kNone;
  std::uint32_t directory_offset = 0;
  std::uint32_t count = 0;           // the entries the directory claims
  std::vector<X3fSection> sections;  // the entries read, up to the problem
};

/// A directory lists at most this many sections; real files list a handful.
/// It bounds what one check reads and holds, whatever the file claims.
constexpr std::uint32_t kMaxX3fSections = 1024;

/// Reads exactly `size` bytes at `offset`, or throws velkrane::Error.
using ReadAtFunction =
    std::function<void(std::int64_t offset, void* data, std::size_t size)>;

/// Checks the first `length` bytes of a file as one complete X3F. Reads the
/// header, the directory and 4 bytes per section, never at or past `length`.
/// Bad data gives a verdict with the first problem found; only a failed read
/// throws.
X3fVerdict CheckX3fStructure(const ReadAtFunction& read, std::int64_t length);
X3fVerdict CheckX3fStructure(const InputFile& file, std::int64_t length);
X3fVerdict CheckX3fStructure(const OutputFile& file, std::int64_t length);

/// A directory's head: "SECd", its version and its entry count, each 4
/// bytes; its entries follow, then the 4-byte offset that ends the file.
inline constexpr unsigned char kDirectorySignature[] = {'S', 'E', 'C', 'd'};
constexpr std::int64_t kDirectoryHeadSize = 12;
constexpr std::int64_t kDirectoryEntrySize = 12;

/// True when data[pos..pos+3] reads "SECd", the start of a directory.
bool IsDirectoryAt(const unsigned char* data, std::size_t pos);

/// True when data[0..3] reads "FOVb", the start of every X3F file.
bool IsX3fHeader(const unsigned char* data);

/// What a file's first 4 bytes say it is: an X3F ("FOVb"), an X3I ("FOVi",
/// a composite holding several X3F images), or neither.
enum class FileStart { kX3f, kX3i, kOther };
FileStart StartOf(const InputFile& file);

/// Where a directory at `offset` holding `count` entries ends the file.
constexpr std::int64_t X3fEndFor(std::int64_t offset, std::uint32_t count) {
  return offset + kDirectoryHeadSize +
         kDirectoryEntrySize * static_cast<std::int64_t>(count) + 4;
}

/// The little-endian uint32 at data[0..3].
std::uint32_t ReadUint32(const unsigned char* data);

}  // namespace velkrane
