#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "batch/folder_walk.h"
#include "batch/repair_one.h"

namespace velkrane {

struct TreeRunOptions {
  /// Empty: each copy goes to the "PostProcessed" folder beside its source.
  /// Else copies go under this folder, at their path relative to the PATH
  /// they were found under.
  std::string output;
  RepairOptions repair;
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
