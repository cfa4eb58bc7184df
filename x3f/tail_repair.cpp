#include "x3f/tail_repair.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "fileio/error.h"
#include "fileio/file_io.h"
#include "fileio/path_parts.h"

namespace velkrane {

const char kTailFoundPrefix[] = "Post-processed successfully! - saved as ";
const char kNoTailMessage[] = "Failed to post-process - no file tail found.";
const char kOutOfMemoryError[] = "Out of memory while expanding memory stream";

namespace {

constexpr unsigned char kSignature[] = {'P', 'R', 'O', 'P'};
constexpr std::size_t kSignatureSize = sizeof kSignature;

void (*after_search_hook)() = nullptr;

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

void Repair(const std::string& source, const std::string& target,
            std::string& message) {
  const InputFile input(source);
  const std::int64_t window = std::min(input.Size(), kLoadLimit);
  if (window == 0) throw Error(kStreamReadError);

  const std::int64_t tail = FindTailInFile(input, window);
  if (tail == kNoTail) {
    message = kNoTailMessage;
    return;
  }
  const std::int64_t length = tail + kTailLength;
  // A tail in the last 7 bytes would make the copy longer than what was
  // loaded; fail before the target is touched.
  if (length > window) throw Error(kStreamReadError);
  if (input.IsSameFileAs(target)) {
    throw Error("Cannot write " + target + ": it is the source file itself");
  }

  if (after_search_hook) after_search_hook();
  OutputFile output(target);
  output.CopyFrom(input, length);
  unsigned char end[kTailLength];
  if (output.Size() != length) throw Error(kStreamWriteError);
  output.ReadAt(length - kTailLength, end, sizeof end);
  // The source may have changed since the search; never commit a copy that
  // does not end in the tail that was found.
  if (!IsTailSignatureAt(end, 0)) throw Error(kStreamReadError);
  output.Commit();
  message = kTailFoundPrefix + FileNamePart(target);
}

}  // namespace

void PostProcessFile(const std::string& source, const std::string& target,
                     std::string& message) {
  // The search and copy buffers are the only sizeable allocations; running out
  // of memory for them is a failure of this file, told in words.
  try {
    Repair(source, target, message);
  } catch (const std::bad_alloc&) {
    throw Error(kOutOfMemoryError);
  }
}

void SetAfterSearchHookForTesting(void (*hook)()) { after_search_hook = hook; }

}  // namespace velkrane
