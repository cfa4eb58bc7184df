#pragma once

// The one step each file of a run goes through, whichever front end runs it:
// Decode, the command line and the benches all repair a file here, so their
// texts and their rules on folders and targets cannot drift apart.

#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "fileio/file_io.h"
#include "x3f/repair.h"

namespace velkrane {

enum class FileResult { kRepaired, kWouldRepair, kNoTailFound, kFailed };

/// What became of one file.
struct FileReport {
  std::string source;
  /// Where the copy goes; empty on a dry run.
  std::string target;
  FileResult result = FileResult::kFailed;
  /// Filled unless the result is kFailed.
  RepairOutcome outcome;
  /// The failure's text; empty unless the result is kFailed.
  std::string error;
  /// What Decode shows after the file's name and ":" (ResultText).
  std::string message;
};

/// The targets one run has written, so that no copy replaces another copy of
/// the same run made from a different source. Names are compared as the disk
/// sees them (the file a target name opens), not by guessing a file system's
/// rules on letter case.
class RunTargets {
 public:
  /// Throws TargetTakenError when `target` already names a copy that this
  /// run made from another source than `source`.
  void Claim(const std::string& target, const std::string& source);
  /// Checks again right before `target` takes its copy, now on the disk.
  void CheckOnDisk(const std::string& target, const std::string& source) const;
  /// `target` now holds the copy of `source`.
  void Record(const std::string& target, const std::string& source);

 private:
  // One file's claim may run (on the preparing thread) while the file
  // before it is committed (on the committing thread).
  mutable std::mutex mutex_;
  struct Written {
    FileIdentity source;
    std::string target;
  };
  /// target -> source; guarded by mutex_.
  std::map<std::string, std::string> names_;
  /// copy -> where from, where to; guarded by mutex_.
  std::map<FileIdentity, Written> written_;
};

/// RepairOne in two halves, so that a run can make one file's copy while the
/// file before it goes to the disk. Neither half throws for a failure of the
/// file: it ends up in the report.
class FileStep {
 public:
  /// The first half: claims the target, finds the end, and writes and checks
  /// the copy under a temporary name.
  static FileStep SearchAndCopy(const std::string& source,
                                const std::string& target,
                                const RepairOptions& options,
                                RunTargets* targets);
  /// A file that failed before it could be started (a folder the walk could
  /// not read): `error` is its failure.
  static FileStep Failed(const std::string& source, const std::string& target,
                         const RepairOptions& options,
                         const std::string& error);

  /// The second half: puts the copy on the disk under the target's name
  /// (unless another copy of the run is there) and completes the report.
  /// Call once.
  FileReport Commit();

  const std::string& Source() const { return report_.source; }
  const std::string& Target() const { return target_; }
  /// True while a copy waits for Commit() to take the target's name.
  bool Renames() const { return pending_ && pending_->HasCopy(); }
  /// The folder the first half created for the copy; empty when it was there.
  const std::string& CreatedFolder() const;

 private:
  FileStep(const std::string& source, const std::string& target,
           const RepairOptions& options, RunTargets* targets);

  std::string target_;
  RunTargets* targets_ = nullptr;
  FileReport report_;
  std::optional<PendingRepair> pending_;
};

/// Repairs `source` into `target` and says what became of it; never throws
/// for a failure of this file. With `targets`, a copy never replaces one the
/// same run wrote from another source (the file fails instead).
FileReport RepairOne(const std::string& source, const std::string& target,
                     const RepairOptions& options,
                     RunTargets* targets = nullptr);

/// Writes a copy of `source` cut where the X3F ends (its own directory, else
/// 8 bytes after its last "PROP") within the first kLoadLimit bytes to
/// `target`, and sets `message` to the outcome. Throws velkrane::Error on any
/// failure and then leaves `message`, the source and any earlier target
/// untouched.
void PostProcessFile(const std::string& source, const std::string& target,
                     std::string& message);

}  // namespace velkrane
