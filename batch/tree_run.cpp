#include "batch/tree_run.h"

#include <algorithm>

#include "batch/batch_run.h"
#include "batch/overlapped_commits.h"
#include "batch/run_texts.h"
#include "fileio/path_parts.h"

namespace velkrane {

namespace {

std::string TargetFor(const FoundFile& file, const std::string& output) {
  if (output.empty())
    return OutputFolderFor(file.path) + FileNamePart(file.path);
  return WithTrailingSeparator(output) + file.relative;
}

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
  RunTargets targets;
  // While one file's copy is made, the one before it goes to the disk; its
  // line follows once it is there, so lines still come in file order.
  OverlappedCommits commits;
  const auto done = [&](int index, const FileReport& report) {
    Count(report, summary);
    view.FileDone(index, summary.found, report);
  };
  for (int index = 1; index <= summary.found; ++index) {
    if (view.StopRequested()) {
      summary.stopped = true;
      break;
    }
    const FoundFile& file = files[static_cast<std::size_t>(index - 1)];
    const std::string target = TargetFor(file, options.output);
    // At most two copies in flight: the one made now, and the one before it
    // going to the disk meanwhile.
    while (commits.InFlight() > 1) commits.FinishCommit(done);
    commits.BeforePreparing(target, done);
    view.FileStarting(index, summary.found, file);
    commits.StartCommit(index,
                        file.error.empty()
                            ? FileStep(file.path, target, repair, &targets)
                            : FileStep(file.path, target, repair, file.error));
  }
  while (commits.InFlight() > 0) commits.FinishCommit(done);
  return summary;
}

}  // namespace velkrane
