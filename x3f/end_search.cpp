#include "x3f/end_search.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "fileio/file_io.h"
#include "x3f/signature_filter.h"
#include "x3f/x3f_structure.h"

namespace velkrane {

namespace {

constexpr std::int64_t kSignatureSize = 4;
// Positions below this hold the "FOVb" header.
constexpr std::int64_t kLowestDirectoryPosition = 4;

// One backward pass from the top of what it searches: the whole file when it
// looks for directories, else only the window. Each block also reads the
// bytes after it that a candidate starting inside it needs (3 for "PROP", 11
// for a directory's head); they lie in the block read before, but as
// candidates they belong to this one.
class BackwardPass {
 public:
  BackwardPass(const InputFile& source, std::int64_t window, bool directories)
      : source_(source),
        window_(std::min(window, source.Size())),
        directories_(directories),
        limit_(directories ? source.Size() : window_) {}

  X3fEnds Run(std::size_t block_size) {
    const auto block =
        static_cast<std::int64_t>(std::max<std::size_t>(block_size, 1));
    const std::int64_t lowest =
        directories_ ? kLowestDirectoryPosition : kLowestTailPosition;
    const std::int64_t top = limit_ - kSignatureSize + 1;
    if (top <= lowest) return ends_;
    const std::int64_t overlap =
        (directories_ ? kDirectoryHeadSize : kSignatureSize) - 1;
    std::vector<unsigned char> buffer(
        static_cast<std::size_t>(std::min(block, limit_) + overlap));
    data_ = buffer.data();
    for (std::int64_t end = top; end > lowest;) {
      start_ = std::max<std::int64_t>(end - block, 0);
      stop_ = std::min(end + overlap, limit_);
      source_.ReadAt(start_, buffer.data(),
                     static_cast<std::size_t>(stop_ - start_));
      if (ScanBlock(std::max(lowest, start_), end)) break;
      end = start_;
    }
    return ends_;
  }

 private:
  // Tests the file positions [from, to) of this block from the top; true
  // once the pass has found what it looks for.
  bool ScanBlock(std::int64_t from, std::int64_t to) {
    // Above the window's highest tail position only a directory can count.
    const std::int64_t tail_top =
        std::clamp(window_ - kSignatureSize + 1, from, to);
    if (tail_top < to && Scan(tail_top, to, Signatures::kDirectory)) {
      return true;
    }
    return Scan(
        from, tail_top,
        directories_ ? Signatures::kTailOrDirectory : Signatures::kTail);
  }

  bool Scan(std::int64_t from, std::int64_t to, Signatures wanted) {
    for (;;) {
      // Only the last "PROP" counts; after it only directories are left.
      if (ends_.rule_tail != kNoTail) {
        if (!directories_) return true;
        wanted = Signatures::kDirectory;
      }
      const std::size_t pos =
          LastSignature(data_, Index(from), Index(to), wanted);
      if (pos == kNoCandidate) return false;
      const std::int64_t at = start_ + static_cast<std::int64_t>(pos);
      if (wanted != Signatures::kDirectory && at >= kLowestTailPosition &&
          IsTailSignatureAt(data_, pos)) {
        ends_.rule_tail = at;
      } else if (directories_ && IsDirectoryAt(data_, pos) &&
                 IsStructuralEnd(at)) {
        return true;
      }
      to = at;
    }
  }

  // The cheap tests first: a directory whose end lies inside the file and
  // holds its offset. Only then the whole check of the bytes before that end.
  bool IsStructuralEnd(std::int64_t offset) {
    if (offset + kDirectoryHeadSize + 4 > limit_) return false;
    const unsigned char* head = data_ + Index(offset);
    const std::int64_t end = X3fEndFor(offset, ReadUint32(head + 8));
    if (end > limit_) return false;
    unsigned char slot[4];
    if (end <= stop_) {
      std::memcpy(slot, data_ + Index(end - 4), sizeof slot);
    } else {
      source_.ReadAt(end - 4, slot, sizeof slot);
    }
    if (ReadUint32(slot) != offset) return false;
    if (!CheckX3fStructure(source_, end).complete) return false;
    ends_.end = end;
    return true;
  }

  std::size_t Index(std::int64_t position) const {
    return static_cast<std::size_t>(position - start_);
  }

  const InputFile& source_;
  const std::int64_t window_;  // the rule's: no "PROP" at or past it counts
  const bool directories_;
  const std::int64_t limit_;  // nothing at or past it is read
  const unsigned char* data_ = nullptr;
  std::int64_t start_ = 0;  // file offset of data_[0]
  std::int64_t stop_ = 0;   // file offset just past the bytes read
  X3fEnds ends_;
};

}  // namespace

std::int64_t FindLastSignature(const unsigned char* data, std::size_t size,
                               std::size_t lowest) {
  const auto signature = static_cast<std::size_t>(kSignatureSize);
  if (size < signature || size - signature < lowest) return kNoTail;
  const std::size_t pos =
      LastSignature(data, lowest, size - signature + 1, Signatures::kTail);
  return pos == kNoCandidate ? kNoTail : static_cast<std::int64_t>(pos);
}

std::int64_t FindTailInFile(const InputFile& source, std::int64_t window,
                            std::size_t block_size) {
  return BackwardPass(source, window, false).Run(block_size).rule_tail;
}

X3fEnds FindX3fEndsInFile(const InputFile& source, std::int64_t window,
                          std::size_t block_size) {
  return BackwardPass(source, window, true).Run(block_size);
}

}  // namespace velkrane
