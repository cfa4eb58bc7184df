#include "x3f/tail_repair.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "fileio/file_io.h"
#include "x3f/end_candidates.h"
#include "x3f/x3f_structure.h"

namespace velkrane {

namespace {

constexpr unsigned char kSignature[] = {'P', 'R', 'O', 'P'};
constexpr std::size_t kSignatureSize = sizeof kSignature;

constexpr std::size_t kStretch = 256;

// Where the loader can pick a function variant at start-up (ELF on x86-64),
// build the filter for AVX2 as well: twice the bytes per compare.
#if defined(__x86_64__) && defined(__ELF__) && defined(__GNUC__)
#define VELKRANE_VECTOR_VARIANTS __attribute__((target_clones("avx2", "default")))
#else
#define VELKRANE_VECTOR_VARIANTS
#endif

// Whether the kStretch positions from `stretch` may hold a signature: a 'P'
// with another 'P' three bytes on. No early exit, so it vectorises; reads
// kStretch + 3 bytes.
VELKRANE_VECTOR_VARIANTS
bool StretchMayHoldSignature(const unsigned char* stretch) {
  unsigned char maybe = 0;
  for (std::size_t k = 0; k < kStretch; ++k) {
    maybe |= static_cast<unsigned char>((stretch[k] == kSignature[0]) &
                                        (stretch[k + 3] == kSignature[3]));
  }
  return maybe != 0;
}

}  // namespace

bool IsTailSignatureAt(const unsigned char* data, std::size_t pos) {
  return std::memcmp(data + pos, kSignature, kSignatureSize) == 0;
}

std::int64_t FindLastSignature(const unsigned char* data, std::size_t size,
                               std::size_t lowest) {
  if (size < kSignatureSize || size - kSignatureSize < lowest) return kNoTail;
  // Candidates are the positions in [lowest, end). Each stretch is filtered
  // first; only one that passes is tested position by position. A skip-table
  // scan stalls on each byte it reads to pick the next one, and was 20 times
  // slower.
  std::size_t end = size - kSignatureSize + 1;
  while (end - lowest >= kStretch) {
    const unsigned char* stretch = data + end - kStretch;
    if (StretchMayHoldSignature(stretch)) {
      for (std::size_t k = kStretch; k-- > 0;) {
        if (IsTailSignatureAt(stretch, k)) {
          return static_cast<std::int64_t>(end - kStretch + k);
        }
      }
    }
    end -= kStretch;
  }
  while (end-- > lowest) {
    if (IsTailSignatureAt(data, end)) return static_cast<std::int64_t>(end);
  }
  return kNoTail;
}

std::int64_t FindTailInFile(const InputFile& source, std::int64_t window,
                            std::size_t block_size) {
  if (window < kLowestTailPosition + static_cast<std::int64_t>(kSignatureSize)) {
    return kNoTail;
  }
  const auto block = static_cast<std::int64_t>(std::max<std::size_t>(block_size, 1));
  std::vector<unsigned char> buffer(
      static_cast<std::size_t>(std::min(block, window) + kSignatureSize - 1));
  // Each block also reads the 3 bytes after it, so a signature that straddles
  // a block boundary is seen whole; it starts inside this block, so it was not
  // a candidate of the block read before.
  for (std::int64_t end = window; end > kLowestTailPosition;) {
    const std::int64_t start = std::max<std::int64_t>(end - block, 0);
    const std::int64_t stop =
        std::min<std::int64_t>(end + kSignatureSize - 1, window);
    const auto count = static_cast<std::size_t>(stop - start);
    source.ReadAt(start, buffer.data(), count);
    const auto lowest = static_cast<std::size_t>(
        std::max<std::int64_t>(kLowestTailPosition - start, 0));
    const std::int64_t found = FindLastSignature(buffer.data(), count, lowest);
    if (found != kNoTail) return start + found;
    end = start;
  }
  return kNoTail;
}

namespace {

// One backward pass over an X3F window. A directory's 12-byte head starts
// inside the block that finds it, so each block also reads the 11 bytes after
// it; that covers the 3 a straddling signature needs too.
class X3fEndSearch {
 public:
  X3fEndSearch(const InputFile& source, std::int64_t window)
      : source_(source), window_(window) {}

  X3fEnds Run(std::size_t block_size) {
    const auto block =
        static_cast<std::int64_t>(std::max<std::size_t>(block_size, 1));
    const std::int64_t top =
        window_ - static_cast<std::int64_t>(kSignatureSize) + 1;
    if (top <= kLowestDirectoryPosition) return ends_;
    std::vector<unsigned char> buffer(
        static_cast<std::size_t>(std::min(block, window_) + kHeadOverlap));
    for (std::int64_t end = top; end > kLowestDirectoryPosition;) {
      const std::int64_t start = std::max<std::int64_t>(end - block, 0);
      const std::int64_t stop =
          std::min<std::int64_t>(end + kHeadOverlap, window_);
      source_.ReadAt(start, buffer.data(),
                     static_cast<std::size_t>(stop - start));
      data_ = buffer.data();
      start_ = start;
      stop_ = stop;
      const auto lowest = static_cast<std::size_t>(
          std::max<std::int64_t>(kLowestDirectoryPosition - start, 0));
      if (ScanBackward(lowest, static_cast<std::size_t>(end - start))) break;
      end = start;
    }
    return ends_;
  }

 private:
  // Positions below this hold the "FOVb" header.
  static constexpr std::int64_t kLowestDirectoryPosition = 4;
  static constexpr std::int64_t kHeadOverlap = 11;

  // Tests the buffer positions [lowest, end) from the top; true once the
  // structural end is found.
  bool ScanBackward(std::size_t lowest, std::size_t end) {
    for (;;) {
      const std::size_t pos =
          LastEndCandidate(data_, lowest, end, ends_.rule_tail == kNoTail);
      if (pos == kNoCandidate) return false;
      if (TestPosition(pos)) return true;
      end = pos;
    }
  }

  bool TestPosition(std::size_t pos) {
    const std::int64_t at = start_ + static_cast<std::int64_t>(pos);
    if (ends_.rule_tail == kNoTail && at >= kLowestTailPosition &&
        IsTailSignatureAt(data_, pos)) {
      ends_.rule_tail = at;
    }
    return IsDirectoryAt(data_, pos) && IsStructuralEnd(at);
  }

  // The cheap tests first: a directory inside the window whose end holds its
  // offset. Only then the whole check of the bytes before that end.
  bool IsStructuralEnd(std::int64_t offset) {
    if (offset + 16 > window_) return false;
    const unsigned char* head = data_ + (offset - start_);
    const std::int64_t end = X3fEndFor(offset, ReadUint32(head + 8));
    if (end > window_) return false;
    unsigned char slot[4];
    if (end <= stop_) {
      std::memcpy(slot, data_ + (end - 4 - start_), sizeof slot);
    } else {
      source_.ReadAt(end - 4, slot, sizeof slot);
    }
    if (ReadUint32(slot) != offset) return false;
    if (!CheckX3fStructure(source_, end).complete) return false;
    ends_.end = end;
    return true;
  }

  const InputFile& source_;
  const std::int64_t window_;
  const unsigned char* data_ = nullptr;
  std::int64_t start_ = 0;  // file offset of data_[0]
  std::int64_t stop_ = 0;   // file offset just past the bytes read
  X3fEnds ends_;
};

}  // namespace

X3fEnds FindX3fEndsInFile(const InputFile& source, std::int64_t window,
                          std::size_t block_size) {
  return X3fEndSearch(source, window).Run(block_size);
}

}  // namespace velkrane
