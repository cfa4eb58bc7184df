// libFuzzer target: the structure check never reads at or past the length it
// checks and gives the same verdict from memory and from a file; the one-pass
// scan for the structural end and the rule's tail, read from a file in blocks
// of a fuzzed size with a rule's window of a fuzzed size, agrees with the
// definition tried at every position.

#include <cstdint>
#include <cstdlib>

#include "fileio/file_io.h"
#include "tests/fuzz/scratch_file.h"
#include "tests/x3f_sample.h"
#include "x3f/end_search.h"
#include "x3f/x3f_structure.h"

namespace {

using velkrane::testing::Bytes;

void Require(bool ok) {
  if (!ok) std::abort();
}

velkrane::X3fVerdict CheckInMemory(const Bytes& bytes, std::int64_t length) {
  bool overran = false;
  velkrane::X3fVerdict verdict;
  try {
    verdict = velkrane::CheckX3fStructure(
        velkrane::testing::ReaderOf(bytes, length, overran), length);
  } catch (const velkrane::Error&) {
  }
  Require(!overran);
  return verdict;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input,
                                      std::size_t size) {
  if (size < 2) return 0;
  const std::size_t block = 1 + ((input[0] | (input[1] << 8)) % 4096);
  const Bytes bytes(input + 2, input + size);
  const auto n = static_cast<std::int64_t>(bytes.size());
  // The block size leaves the top 4 bits free: they shrink the rule's window,
  // so that small inputs cross its edge too.
  const std::int64_t window = n - n * (input[1] >> 4) / 16;

  const velkrane::InputFile source(
      velkrane::fuzz::ScratchFileWith(bytes.data(), bytes.size()));

  const velkrane::X3fVerdict verdict = CheckInMemory(bytes, n);
  const velkrane::X3fVerdict from_file = velkrane::CheckX3fStructure(source, n);
  Require(verdict.complete == from_file.complete &&
          verdict.problem == from_file.problem &&
          verdict.sections.size() == from_file.sections.size());
  Require(verdict.complete == (verdict.problem == velkrane::X3fProblem::kNone));

  const velkrane::X3fEnds want =
      velkrane::testing::ReferenceEnds(bytes, window);
  const velkrane::X3fEnds got =
      velkrane::FindX3fEndsInFile(source, window, block);
  Require(got.end == want.end && got.rule_tail == want.rule_tail);
  if (got.end != velkrane::kNoTail)
    Require(CheckInMemory(bytes, got.end).complete);
  return 0;
}
