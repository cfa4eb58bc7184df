#include "batch/tree_run.h"

#include <algorithm>

#include "batch/commit_scheduler.h"
#include "batch/output_names.h"
#include "fileio/path_parts.h"

namespace velkrane {

namespace {

void Count(const FileReport& report, TreeRunSummary& summary) {
  switch (report.result) {
    case FileResult::kRepaired: {
      ++summary.repaired;
      summary.bytes_cut += report.outcome.bytes_cut;
      const std::string folder = DirectoryPart(report.target);
      if (std::find(summary.folders.begin(), summary.folders.end(), folder) ==
          summary.folders.end()) {
        summary.folders.push_back(folder);
      }
      break;
    }
    case FileResult::kWouldRepair:
      ++summary.would_repair;
      summary.bytes_cut += report.outcome.bytes_cut;
      break;
    case FileResult::kNoTailFound:
      ++summary.no_tail;
      break;
    case FileResult::kFailed:
      ++summary.failed;
      break;
  }
}

}  // namespace

TreeRunSummary RunTree(const std::vector<std::string>& paths,
                       const TreeRunOptions& options, TreeRunView& view) {
  const std::vector<FoundFile> files = FindX3fFiles(paths, options.output);
  TreeRunSummary summary;
  summary.found = static_cast<int>(files.size());
  RepairOptions repair = options.repair;
  // Under --output the copy's folders are made below it, once a copy is
  // about to be written there.
  repair.make_folder = true;
  // Declared before the scheduler: its committing thread uses them until
  // the scheduler's destructor has joined it.
  RunTargets targets;
  // While one file's copy is made, the one before it goes to the disk; its
  // line follows once it is there, so lines still come in file order.
  CommitScheduler commits([&](int index, const FileReport& report) {
    Count(report, summary);
    view.FileDone(index, summary.found, report);
  });
  try {
    for (int index = 1; index <= summary.found; ++index) {
      const FoundFile& file = files[static_cast<std::size_t>(index - 1)];
      const std::string target =
          TargetFor(file.path, file.relative, options.output);
      commits.MakeRoomFor(file.path, target);
      // Asked after the wait, where a Ctrl+C mostly comes: no file starts
      // after it.
      if (view.StopRequested()) {
        summary.stopped = true;
        break;
      }
      view.FileStarting(index, summary.found, file);
      commits.Commit(
          index,
          ToCommit(
              file.error.empty()
                  ? FileStep::SearchAndCopy(file.path, target, repair, &targets)
                  : FileStep::Failed(file.path, target, repair, file.error)));
    }
  } catch (...) {
    // The files in flight still get their lines before the error ends the
    // run.
    commits.ReportAll();
    throw;
  }
  commits.ReportAll();
  return summary;
}

}  // namespace velkrane
