// libFuzzer target: the production search, in memory and read from a file in
// blocks of a fuzzed size up to a window of a fuzzed size, must agree with the
// plain rule (every position from n-4 down to 7) on every input.

#include <cstdint>
#include <cstdlib>

#include "fileio/file_io.h"
#include "tests/fuzz/scratch_file.h"
#include "x3f/end_search.h"

namespace {

std::int64_t ReferenceTail(const std::uint8_t* data, std::size_t size) {
  for (std::int64_t p = static_cast<std::int64_t>(size) - 4; p >= 7; --p) {
    if (data[p] == 'P' && data[p + 1] == 'R' && data[p + 2] == 'O' &&
        data[p + 3] == 'P') {
      return p;
    }
  }
  return velkrane::kNoTail;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input,
                                      std::size_t size) {
  if (size < 2) return 0;
  const std::size_t block = 1 + ((input[0] | (input[1] << 8)) % 4096);
  const std::uint8_t* data = input + 2;
  const std::size_t n = size - 2;
  // The block size leaves the top 4 bits free: they shrink the window.
  const std::size_t window = n - n * (input[1] >> 4) / 16;

  if (velkrane::FindLastSignature(data, n, 7) != ReferenceTail(data, n))
    std::abort();

  const velkrane::InputFile source(velkrane::fuzz::ScratchFileWith(data, n));
  if (velkrane::FindTailInFile(source, static_cast<std::int64_t>(window),
                               block) != ReferenceTail(data, window)) {
    std::abort();
  }
  return 0;
}
