#pragma once

// The one repair entry point every front end shares: find where the X3F ends,
// write the copy through a temporary file, check it, and say what was done.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "fileio/file_io.h"
#include "x3f/cut_decision.h"
#include "x3f/x3f_structure.h"

namespace velkrane {

struct RepairOptions {
  bool rule_only =
      false;  // cut exactly where the plain rule says, ignoring the directory
  bool dry_run =
      false;  // find and check, write nothing (no folder, no temporary)
  bool whole_file =
      false;  // the rule searches the whole source, not its first kLoadLimit
              // bytes (the directory is always searched for in all of it)
  /// Creates the target's folder, with its missing parents, once a copy is
  /// about to be written; never for a file without a tail or a dry run.
  bool make_folder = false;
  /// Runs after the search and before the copy; tests change the source there.
  std::function<void()> after_search;
};

enum class RepairResult {
  kRepaired,
  kWouldRepair,
  kTailNotFound,
  kX3iFile,  // several X3F images in one file: left as it is
};

struct RepairOutcome {
  RepairResult result = RepairResult::kTailNotFound;
  std::int64_t source_size = 0;
  /// Of the copy (written, or that would be written); 0 without one.
  std::int64_t length = 0;
  std::int64_t tail = -1;      // length - 8 (kNoTail when none)
  std::int64_t bytes_cut = 0;  // source_size - length; 0 without a copy
  TailSource tail_from = TailSource::kRule;
  /// Of the copy as written (dry run: of those first `length` source bytes);
  /// for kTailNotFound, of the whole source, which says why it has no end.
  X3fVerdict verdict;
};

/// A repair whose copy is written and checked but has not yet taken the
/// target's name, so that a run can look at the target first, and put one
/// copy on the disk while the next is being made.
class PendingRepair {
 public:
  PendingRepair(RepairOutcome outcome, std::optional<OutputFile> copy)
      : outcome_(std::move(outcome)), copy_(std::move(copy)) {}

  /// kRepaired once committed; until then what the search found.
  const RepairOutcome& Outcome() const { return outcome_; }
  /// True while a copy waits for Commit().
  bool HasCopy() const { return copy_.has_value(); }
  /// Puts the copy on the disk under the target's name (OutputFile::Commit);
  /// nothing to do without a copy. Throws "Stream write error" when that
  /// fails, and the temporary is gone either way.
  void Commit();

 private:
  RepairOutcome outcome_;
  std::optional<OutputFile> copy_;
};

/// Finds the end, and unless this is a dry run, there is no tail or the
/// source is an X3I file, writes and checks the copy under a temporary name.
/// Throws velkrane::Error on any failure, and then leaves the source and any
/// earlier target untouched.
PendingRepair PrepareRepair(const std::string& source,
                            const std::string& target,
                            const RepairOptions& options = {});

/// PrepareRepair, then Commit.
RepairOutcome RepairFile(const std::string& source, const std::string& target,
                         const RepairOptions& options = {});

/// Calls `hook` with the source's name on the thread that writes a copy,
/// right before its first byte is written, so that a test can hold a copy
/// for as long as it likes; nullptr removes it.
void SetBeforeCopyForTesting(void (*hook)(const std::string& source));

}  // namespace velkrane
