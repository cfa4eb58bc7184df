#include "batch/repair_one.h"

#include <exception>
#include <optional>

#include "batch/run_texts.h"
#include "fileio/error.h"

namespace velkrane {

namespace {

FileResult ResultOf(RepairResult result) {
  switch (result) {
    case RepairResult::kRepaired:
      return FileResult::kRepaired;
    case RepairResult::kWouldRepair:
      return FileResult::kWouldRepair;
    case RepairResult::kTailNotFound:
      break;
  }
  return FileResult::kNoTailFound;
}

// What a name leads to on the disk now; none when it leads nowhere.
std::optional<FileIdentity> IdentityIfAny(const std::string& path) {
  try {
    return IdentityOf(path);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace

void RunTargets::Claim(const std::string& target, const std::string& source) {
  // The same name is the same file on any file system: refuse before any
  // work, dry runs included.
  if (names_.emplace(target, source).first->second != source) {
    throw Error(TargetTakenError(target));
  }
}

void RunTargets::CheckOnDisk(const std::string& target,
                             const std::string& source) const {
  if (written_.empty()) return;
  const auto copy = IdentityIfAny(target);
  if (!copy) return;
  const auto earlier = written_.find(*copy);
  if (earlier == written_.end()) return;
  // The same source under another spelling may replace its own copy.
  if (!(IdentityIfAny(source) == earlier->second)) {
    throw Error(TargetTakenError(target));
  }
}

void RunTargets::Record(const std::string& target, const std::string& source) {
  const auto copy = IdentityIfAny(target);
  const auto from = IdentityIfAny(source);
  if (copy && from) written_[*copy] = *from;
}

FileReport RepairOne(const std::string& source, const std::string& target,
                     const RepairOptions& options, RunTargets* targets) {
  FileReport report;
  report.source = source;
  if (!options.dry_run) report.target = target;
  try {
    if (targets) targets->Claim(target, source);
    PendingRepair pending = PrepareRepair(source, target, options);
    if (pending.HasCopy()) {
      if (targets) targets->CheckOnDisk(target, source);
      pending.Commit();
      if (targets) targets->Record(target, source);
    }
    report.outcome = pending.Outcome();
    report.result = ResultOf(report.outcome.result);
  } catch (const std::exception& e) {
    report.result = FileResult::kFailed;
    report.error = e.what();
  }
  report.message = ResultText(report);
  return report;
}

void PostProcessFile(const std::string& source, const std::string& target,
                     std::string& message) {
  const FileReport report = RepairOne(source, target, {});
  if (report.result == FileResult::kFailed) throw Error(report.error);
  message = report.message;
}

}  // namespace velkrane
