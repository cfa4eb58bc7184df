#pragma once

// The one repair entry point every front end shares: find where the X3F ends,
// write the copy through a temporary file, check it, and say what was done.

#include <cstdint>
#include <functional>
#include <string>

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
  /// Runs after the search and before the copy; tests change the source there.
  std::function<void()> after_search;
};

enum class RepairResult { kRepaired, kWouldRepair, kTailNotFound };

struct RepairOutcome {
  RepairResult result = RepairResult::kTailNotFound;
  std::int64_t source_size = 0;
  /// Of the copy (written, or that would be written); 0 for kTailNotFound.
  std::int64_t length = 0;
  std::int64_t tail = -1;      // length - 8 (kNoTail when none)
  std::int64_t bytes_cut = 0;  // source_size - length; 0 for kTailNotFound
  TailSource tail_from = TailSource::kRule;
  /// Of the copy as written (dry run: of those first `length` source bytes);
  /// for kTailNotFound, of the whole source, which says why it has no end.
  X3fVerdict verdict;
};

/// Throws velkrane::Error on any failure, with the same texts PostProcessFile
/// throws, and then leaves the source and any earlier target untouched.
RepairOutcome RepairFile(const std::string& source, const std::string& target,
                         const RepairOptions& options = {});

}  // namespace velkrane
