#include "batch/tree_run.h"

#include <algorithm>

#include "batch/batch_run.h"
#include "batch/run_texts.h"
#include "fileio/path_parts.h"

namespace velkrane {

namespace {

std::string TargetFor(const FoundFile& file, const std::string& output) {
  if (output.empty()) return OutputFolderFor(file.path) + FileNamePart(file.path);
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

// A folder the walk could not read fails as that path, in the run's words.
FileReport UnreadableFolder(const FoundFile& file, const std::string& target,
                            bool dry_run) {
  FileReport report;
  report.source = file.path;
  if (!dry_run) report.target = target;
  report.error = file.error;
  report.message = ResultText(report);
  return report;
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
  for (int index = 1; index <= summary.found; ++index) {
    if (view.StopRequested()) {
      summary.stopped = true;
      break;
    }
    const FoundFile& file = files[static_cast<std::size_t>(index - 1)];
    view.FileStarting(index, summary.found, file);
    const std::string target = TargetFor(file, options.output);
    const FileReport report =
        file.error.empty()
            ? RepairOne(file.path, target, repair, &targets)
            : UnreadableFolder(file, target, repair.dry_run);
    Count(report, summary);
    view.FileDone(index, summary.found, report);
  }
  return summary;
}

}  // namespace velkrane
