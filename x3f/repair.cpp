#include "x3f/repair.h"

#include <algorithm>
#include <new>

#include "fileio/error.h"
#include "fileio/file_io.h"
#include "fileio/path_parts.h"
#include "x3f/tail_repair.h"

namespace velkrane {

namespace {

bool StartsLikeX3f(const InputFile& input, std::int64_t window) {
  unsigned char header[4];
  if (window < static_cast<std::int64_t>(sizeof header)) return false;
  input.ReadAt(0, header, sizeof header);
  return IsX3fHeader(header);
}

// Where the copy ends. A window that does not start like an X3F cannot hold a
// structural end, so it gets the rule's search alone, as it always has.
X3fEnds FindEnds(const InputFile& input, std::int64_t window, bool rule_only) {
  if (!rule_only && StartsLikeX3f(input, window)) {
    return FindX3fEndsInFile(input, window);
  }
  X3fEnds ends;
  ends.rule_tail = FindTailInFile(input, window);
  return ends;
}

RepairOutcome Repair(const std::string& source, const std::string& target,
                     const RepairOptions& options) {
  const InputFile input(source);
  RepairOutcome outcome;
  outcome.source_size = input.Size();
  const std::int64_t window =
      options.whole_file ? input.Size() : std::min(input.Size(), kLoadLimit);
  if (window == 0) throw Error(kStreamReadError);

  const X3fEnds ends = FindEnds(input, window, options.rule_only);
  if (ends.end != kNoTail) {
    outcome.length = ends.end;
    outcome.tail_from = TailSource::kStructure;
  } else if (ends.rule_tail != kNoTail) {
    outcome.length = ends.rule_tail + kTailLength;
    // A tail in the last 7 bytes would make the copy longer than what was
    // searched; fail before the target is touched.
    if (outcome.length > window) throw Error(kStreamReadError);
  } else {
    outcome.verdict = CheckX3fStructure(input, window);
    return outcome;
  }
  outcome.tail = outcome.length - kTailLength;
  outcome.bytes_cut = outcome.source_size - outcome.length;

  if (options.dry_run) {
    outcome.verdict = CheckX3fStructure(input, outcome.length);
    outcome.result = RepairResult::kWouldRepair;
    return outcome;
  }
  if (input.IsSameFileAs(target)) {
    throw Error("Cannot write " + target + ": it is the source file itself");
  }

  if (options.after_search) options.after_search();
  OutputFile output(target);
  output.CopyFrom(input, outcome.length);
  if (output.Size() != outcome.length) throw Error(kStreamWriteError);
  // The source may have changed since the search; never commit a copy that
  // does not end the way the search found: a structural copy must be a
  // complete X3F, a rule copy must end in "PROP" and 4 bytes.
  outcome.verdict = CheckX3fStructure(output, outcome.length);
  if (outcome.tail_from == TailSource::kStructure) {
    if (!outcome.verdict.complete) throw Error(kStreamReadError);
  } else {
    unsigned char end[kTailLength];
    output.ReadAt(outcome.tail, end, sizeof end);
    if (!IsTailSignatureAt(end, 0)) throw Error(kStreamReadError);
  }
  output.Commit();
  outcome.result = RepairResult::kRepaired;
  return outcome;
}

}  // namespace

RepairOutcome RepairFile(const std::string& source, const std::string& target,
                         const RepairOptions& options) {
  // The search and copy buffers are the only sizeable allocations; running out
  // of memory for them is a failure of this file, told in words.
  try {
    return Repair(source, target, options);
  } catch (const std::bad_alloc&) {
    throw Error(kOutOfMemoryError);
  }
}

void PostProcessFile(const std::string& source, const std::string& target,
                     std::string& message) {
  const RepairOutcome outcome = RepairFile(source, target);
  message = outcome.result == RepairResult::kNoTail
                ? kNoTailMessage
                : kTailFoundPrefix + FileNamePart(target);
}

}  // namespace velkrane
