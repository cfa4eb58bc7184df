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
    case RepairResult::kX3iFile:  // refused by FileStep, never pending
      return FileResult::kFailed;
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
  const std::lock_guard<std::mutex> lock(mutex_);
  // The same name is the same file on any file system: refuse before any
  // work, dry runs included.
  if (names_.emplace(target, source).first->second != source) {
    throw Error(TargetTakenError(target));
  }
}

void RunTargets::CheckOnDisk(const std::string& target,
                             const std::string& source) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (written_.empty()) return;
  const auto copy = IdentityIfAny(target);
  if (!copy) return;
  const auto earlier = written_.find(*copy);
  if (earlier == written_.end()) return;
  // A copy that another run (a Decode nested in this one) has replaced since
  // leaves its identity free, and the disk may give it to a new file: only a
  // copy still under the name it was written to counts.
  if (earlier->second.target != target &&
      !(IdentityIfAny(earlier->second.target) == copy)) {
    return;
  }
  // The same source under another spelling may replace its own copy.
  if (!(IdentityIfAny(source) == earlier->second.source)) {
    throw Error(TargetTakenError(target));
  }
}

void RunTargets::Record(const std::string& target, const std::string& source) {
  const auto copy = IdentityIfAny(target);
  const auto from = IdentityIfAny(source);
  const std::lock_guard<std::mutex> lock(mutex_);
  if (copy && from) written_[*copy] = Written{*from, target};
}

FileStep::FileStep(const std::string& source, const std::string& target,
                   const RepairOptions& options, RunTargets* targets)
    : target_(target), targets_(targets) {
  report_.source = source;
  if (!options.dry_run) report_.target = target;
  try {
    if (targets_) targets_->Claim(target, source);
    PendingRepair pending = PrepareRepair(source, target, options);
    if (pending.Outcome().result == RepairResult::kX3iFile) {
      throw Error(kX3iFileError);
    }
    pending_.emplace(std::move(pending));
  } catch (const std::exception& e) {
    report_.error = e.what();
  }
}

FileStep::FileStep(const std::string& source, const std::string& target,
                   const RepairOptions& options, const std::string& error)
    : target_(target) {
  report_.source = source;
  if (!options.dry_run) report_.target = target;
  report_.error = error;
}

FileReport FileStep::Finish() {
  if (pending_) {
    try {
      if (pending_->HasCopy()) {
        if (targets_) targets_->CheckOnDisk(target_, report_.source);
        pending_->Commit();
        if (targets_) targets_->Record(target_, report_.source);
      }
      report_.outcome = pending_->Outcome();
      report_.result = ResultOf(report_.outcome.result);
    } catch (const std::exception& e) {
      report_.error = e.what();
    }
    // The copy is committed or, failing that, its temporary is gone.
    pending_.reset();
  }
  report_.message = ResultText(report_);
  return report_;
}

FileReport RepairOne(const std::string& source, const std::string& target,
                     const RepairOptions& options, RunTargets* targets) {
  return FileStep(source, target, options, targets).Finish();
}

void PostProcessFile(const std::string& source, const std::string& target,
                     std::string& message) {
  const FileReport report = RepairOne(source, target, {});
  if (report.result == FileResult::kFailed) throw Error(report.error);
  message = report.message;
}

}  // namespace velkrane
