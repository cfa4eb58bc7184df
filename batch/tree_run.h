#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "batch/folder_walk.h"
#include "x3f/repair.h"

namespace velkrane {

extern const char kWouldCutPrefix[];  // + bytes + kWouldCutMiddle + tail
extern const char kWouldCutMiddle[];
extern const char kTargetTakenSuffix[];  // after "Cannot write " + target

struct TreeRunOptions {
  /// Empty: each copy goes to the "PostProcessed" folder beside its source.
  /// Else copies go under this folder, at their path relative to the PATH
  /// they were found under.
  std::string output;
  RepairOptions repair;
};

enum class FileResult { kRepaired, kWouldRepair, kNoTail, kFailed };

/// What became of one found file.
struct FileReport {
  FoundFile file;
  /// Where the copy goes; empty on a dry run.
  std::string target;
  FileResult result = FileResult::kFailed;
  /// Filled unless the result is kFailed.
  RepairOutcome outcome;
  /// The failure's text; empty unless the result is kFailed.
  std::string error;
  /// What "Decode" says after the file's name and ":".
  std::string message;
};

/// What a run over folder trees tells its front end.
class TreeRunView {
 public:
  virtual ~TreeRunView() = default;
  /// `index` counts from 1 up to `count`, the number of files found.
  virtual void FileStarting(int index, int count, const FoundFile& file) = 0;
  virtual void FileDone(int index, int count, const FileReport& report) = 0;
  /// Asked before each file; true ends the run there.
  virtual bool StopRequested() = 0;
};

struct TreeRunSummary {
  int found = 0;
  int repaired = 0;
  int would_repair = 0;
  int no_tail = 0;
  int failed = 0;
  std::int64_t bytes_cut = 0;
  /// The folders that received copies, each once, in the order first used.
  std::vector<std::string> folders;
  bool stopped = false;
};

/// Finds the X3F files under `paths` (FindX3fFiles, the output folder
/// excluded) and repairs each in turn. A file's failure is reported and the
/// run goes on. Two different sources never write the same target: the
/// second fails instead of replacing the first one's copy.
TreeRunSummary RunTree(const std::vector<std::string>& paths,
                       const TreeRunOptions& options, TreeRunView& view);

}  // namespace velkrane
