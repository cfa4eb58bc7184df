#include "batch/tree_run.h"

#include <algorithm>
#include <exception>
#include <map>

#include "batch/batch_run.h"
#include "fileio/error.h"
#include "fileio/file_io.h"
#include "fileio/path_parts.h"
#include "x3f/tail_repair.h"

namespace velkrane {

const char kWouldCutPrefix[] = "Would cut ";
const char kWouldCutMiddle[] = " bytes, tail at ";
const char kTargetTakenSuffix[] = ": another file of this run was saved there";

namespace {

std::string TargetFor(const FoundFile& file, const std::string& output) {
  if (output.empty()) return OutputFolderFor(file.path) + FileNamePart(file.path);
  return WithTrailingSeparator(output) + file.relative;
}

std::string MessageFor(const FileReport& report) {
  switch (report.result) {
    case FileResult::kRepaired:
      return kTailFoundPrefix + FileNamePart(report.target);
    case FileResult::kWouldRepair:
      return kWouldCutPrefix + std::to_string(report.outcome.bytes_cut) +
             kWouldCutMiddle + std::to_string(report.outcome.tail);
    case FileResult::kNoTail:
      return kNoTailMessage;
    case FileResult::kFailed:
      break;
  }
  return kFailedPrefix + report.error;
}

FileResult ResultOf(RepairResult result) {
  switch (result) {
    case RepairResult::kRepaired:
      return FileResult::kRepaired;
    case RepairResult::kWouldRepair:
      return FileResult::kWouldRepair;
    case RepairResult::kTailNotFound:
      break;
  }
  return FileResult::kNoTail;
}

/// Remembers which source each target of the run came from, so that two
/// files with the same path below two PATHs do not share one copy.
class TargetClaims {
 public:
  /// False when another source already claimed `target`.
  bool Claim(const std::string& target, const std::string& source) {
    std::string key = target;
    if (kFileNamesIgnoreCase) {
      std::transform(key.begin(), key.end(), key.begin(), [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
      });
    }
    return claims_.emplace(key, source).first->second == source;
  }

 private:
  std::map<std::string, std::string> claims_;
};

}  // namespace

TreeRunSummary RunTree(const std::vector<std::string>& paths,
                       const TreeRunOptions& options, TreeRunView& view) {
  const std::vector<FoundFile> files = FindX3fFiles(paths, options.output);
  TreeRunSummary summary;
  summary.found = static_cast<int>(files.size());
  TargetClaims claims;
  const bool dry_run = options.repair.dry_run;
  for (int index = 1; index <= summary.found; ++index) {
    if (view.StopRequested()) {
      summary.stopped = true;
      break;
    }
    const FoundFile& file = files[static_cast<std::size_t>(index - 1)];
    view.FileStarting(index, summary.found, file);
    FileReport report;
    report.file = file;
    const std::string target = TargetFor(file, options.output);
    if (!dry_run) report.target = target;
    try {
      if (!file.error.empty()) throw Error(file.error);
      if (!claims.Claim(target, file.path)) {
        throw Error("Cannot write " + target + kTargetTakenSuffix);
      }
      if (!dry_run) {
        try {
          CreateFolders(DirectoryPart(target));
        } catch (const std::exception&) {
          // Not reported here: writing the copy fails and says why.
        }
      }
      report.outcome = RepairFile(file.path, target, options.repair);
      report.result = ResultOf(report.outcome.result);
    } catch (const std::exception& e) {
      report.result = FileResult::kFailed;
      report.error = e.what();
    }
    report.message = MessageFor(report);
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
      case FileResult::kNoTail:
        ++summary.no_tail;
        break;
      case FileResult::kFailed:
        ++summary.failed;
        break;
    }
    view.FileDone(index, summary.found, report);
  }
  return summary;
}

}  // namespace velkrane
