#include "x3f/repair.h"

#include <atomic>
#include <new>

#include "fileio/error.h"
#include "fileio/file_io.h"
#include "fileio/path_parts.h"
#include "x3f/signature_filter.h"

namespace velkrane {

namespace {

std::atomic<void (*)(const std::string&)> before_copy{nullptr};

PendingRepair Prepare(const std::string& source, const std::string& target,
                      const RepairOptions& options) {
  const InputFile input(source);
  RepairOutcome outcome;
  outcome.source_size = input.Size();
  if (outcome.source_size == 0) throw Error(kStreamReadError);
  // One cut could keep only some of its images.
  if (StartOf(input) == FileStart::kX3i) {
    outcome.result = RepairResult::kX3iFile;
    return PendingRepair(std::move(outcome), std::nullopt);
  }

  const Cut cut = DecideCut(input, options.rule_only, options.whole_file);
  if (cut.length == 0) {
    outcome.verdict = CheckX3fStructure(input, outcome.source_size);
    return PendingRepair(std::move(outcome), std::nullopt);
  }
  outcome.length = cut.length;
  outcome.tail_from = cut.from;
  outcome.tail = outcome.length - kTailLength;
  outcome.bytes_cut = outcome.source_size - outcome.length;
  outcome.result = RepairResult::kWouldRepair;

  if (options.dry_run) {
    outcome.verdict = CheckX3fStructure(input, outcome.length);
    return PendingRepair(std::move(outcome), std::nullopt);
  }
  input.RefuseAsTarget(target);

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
