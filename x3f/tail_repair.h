#pragma once

#include <cstddef>
#include <cstdint>

namespace velkrane {

class InputFile;

/// Only this much of a source is ever searched or copied.
constexpr std::int64_t kLoadLimit = 30000000;
/// Positions below this are never tested for the tail signature.
constexpr std::int64_t kLowestTailPosition = 7;
/// The copy ends this many bytes after the first byte of the signature.
constexpr std::int64_t kTailLength = 8;
constexpr std::int64_t kNoTail = -1;
/// The backward search reads the source in blocks of this size.
constexpr std::size_t kSearchBlockSize = 256 * 1024;

/// True when data[pos..pos+3] reads "PROP". The caller keeps pos + 4 <= size.
bool IsTailSignatureAt(const unsigned char* data, std::size_t pos);

/// The highest position p with lowest <= p <= size - 4 at which the signature
/// starts, or kNoTail.
std::int64_t FindLastSignature(const unsigned char* data, std::size_t size,
                               std::size_t lowest);

/// The tail position in the first `window` bytes of `source`, read backward
/// in blocks of `block_size` bytes, or kNoTail.
std::int64_t FindTailInFile(const InputFile& source, std::int64_t window,
                            std::size_t block_size = kSearchBlockSize);

/// What one backward pass over a window that starts like an X3F finds.
struct X3fEnds {
  /// The structural end: the length of the complete X3F whose directory lies
  /// highest in the window, or kNoTail.
  std::int64_t end = kNoTail;
  /// The last "PROP" above where the pass stopped: the rule's tail when there
  /// is no structural end, or kNoTail.
  std::int64_t rule_tail = kNoTail;
};

/// Scans the first `window` bytes of `source` backward once, in blocks of
/// `block_size`, for both the rule's tail and the structural end, and stops
/// at the first directory that makes a complete X3F of the bytes before its
/// end.
X3fEnds FindX3fEndsInFile(const InputFile& source, std::int64_t window,
                          std::size_t block_size = kSearchBlockSize);

}  // namespace velkrane
