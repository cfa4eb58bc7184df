#pragma once

// The searches for where a copy may end, all one backward pass over the file
// in blocks: the rule's tail (the last "PROP" in a window) and the structural
// end (the highest directory that makes a complete X3F of the bytes before
// its end). cut_decision.h says which of them a copy takes.

#include <cstddef>
#include <cstdint>

#include "x3f/x3f_structure.h"

namespace velkrane {

class InputFile;

/// What the searches read: `size` bytes, each read exact or thrown. An open
/// InputFile, or in the browser the slices of a picked file.
struct ByteSource {
  std::int64_t size = 0;
  ReadAtFunction read;
};

/// `file` as a ByteSource; it must outlive the result.
ByteSource ByteSourceOf(const InputFile& file);

/// Positions below this are never tested for the tail signature.
constexpr std::int64_t kLowestTailPosition = 7;
constexpr std::int64_t kNoTail = -1;
/// The backward pass reads the source in blocks of this size.
constexpr std::size_t kSearchBlockSize = 256 * 1024;

/// The highest position p with lowest <= p <= size - 4 at which "PROP"
/// starts, or kNoTail.
std::int64_t FindLastSignature(const unsigned char* data, std::size_t size,
                               std::size_t lowest);

/// The rule's tail: the last "PROP" in the first `window` bytes of `source`,
/// read backward in blocks of `block_size` bytes, or kNoTail. Nothing at or
/// past `window` is read.
std::int64_t FindTailInFile(const InputFile& source, std::int64_t window,
                            std::size_t block_size = kSearchBlockSize);
std::int64_t FindTailInFile(const ByteSource& source, std::int64_t window,
                            std::size_t block_size = kSearchBlockSize);

/// What one backward pass over a file that starts like an X3F finds.
struct X3fEnds {
  /// The structural end: the length of the complete X3F whose directory lies
  /// highest in the file, or kNoTail.
  std::int64_t end = kNoTail;
  /// The last "PROP" in the window above where the pass stopped: the rule's
  /// tail when there is no structural end, or kNoTail.
  std::int64_t rule_tail = kNoTail;
};

/// Scans all of `source` backward once from its end, in blocks of
/// `block_size`, for the structural end, and its first `window` bytes on the
/// way for the rule's tail. Stops at the first directory that makes a
/// complete X3F of the bytes before its end, so a file with J bytes behind
/// that end costs about J bytes of reading.
X3fEnds FindX3fEndsInFile(const InputFile& source, std::int64_t window,
                          std::size_t block_size = kSearchBlockSize);
X3fEnds FindX3fEndsInFile(const ByteSource& source, std::int64_t window,
                          std::size_t block_size = kSearchBlockSize);

}  // namespace velkrane
