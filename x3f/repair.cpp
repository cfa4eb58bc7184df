#include "x3f/repair.h"

#include <algorithm>
#include <atomic>
#include <new>

#include "fileio/error.h"
#include "fileio/file_io.h"
#include "fileio/path_parts.h"
#include "x3f/tail_repair.h"

namespace velkrane {

namespace {

std::atomic<void (*)(const std::string&)> before_copy{nullptr};

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

PendingRepair Prepare(const std::string& source, const std::string& target,
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
    return PendingRepair(std::move(outcome), std::nullopt);
  }
  outcome.tail = outcome.length - kTailLength;
  outcome.bytes_cut = outcome.source_size - outcome.length;
  outcome.result = RepairResult::kWouldRepair;

  if (options.dry_run) {
    outcome.verdict = CheckX3fStructure(input, outcome.length);
    return PendingRepair(std::move(outcome), std::nullopt);
  }
  if (input.IsSameFileAs(target)) {
    throw Error("Cannot write " + target + ": it is the source file itself");
  }

  if (options.after_search) options.after_search();
  if (options.make_folder) {
    try {
      CreateFolders(DirectoryPart(target));
    } catch (const std::exception&) {
      // Not reported here: creating the copy fails next and says why.
    }
  }
  OutputFile output(target);
  if (const auto hook = before_copy.load()) hook(source);
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
  return PendingRepair(std::move(outcome), std::move(output));
}

}  // namespace

void PendingRepair::Commit() {
  if (!copy_) return;
  // Whatever happens, the temporary goes with the copy.
  OutputFile copy = std::move(*copy_);
  copy_.reset();
  copy.Commit();
  outcome_.result = RepairResult::kRepaired;
}

PendingRepair PrepareRepair(const std::string& source,
                            const std::string& target,
                            const RepairOptions& options) {
  // The search and copy buffers are the only sizeable allocations; running out
  // of memory for them is a failure of this file, told in words.
  try {
    return Prepare(source, target, options);
  } catch (const std::bad_alloc&) {
    throw Error(kOutOfMemoryError);
  }
}

RepairOutcome RepairFile(const std::string& source, const std::string& target,
                         const RepairOptions& options) {
  PendingRepair pending = PrepareRepair(source, target, options);
  pending.Commit();
  return pending.Outcome();
}

void SetBeforeCopyForTesting(void (*hook)(const std::string& source)) {
  before_copy.store(hook);
}

}  // namespace velkrane
