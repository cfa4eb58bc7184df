#include "batch/commit_scheduler.h"

#include <chrono>
#include <utility>

#include "batch/run_texts.h"
#include "fileio/error.h"
#include "fileio/path_parts.h"
#include "fileio/text.h"

namespace velkrane {

namespace {

// What a folder name leads to on the disk now; none when it leads nowhere.
std::optional<FileIdentity> FolderIdentity(const std::string& path) {
  const std::string folder = DirectoryPart(path);
  try {
    return IdentityOf(folder.empty() ? "." : folder);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// The name's ASCII letters, case folded, without the rest: two names that
// differ there are never one entry, on any file system (É and é, a Kelvin
// sign and K, are folded together by some).
std::string NameSkeleton(const std::string& name) {
  std::string skeleton;
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x80) skeleton += FoldAsciiCase(c);
  }
  return skeleton;
}

// The report of a step whose commit threw: a failure of that file.
FileReport FailedReport(const std::string& source, const std::string& target,
                        const std::exception_ptr& failure) {
  FileReport report;
  report.source = source;
  report.target = target;
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& e) {
    report.error = e.what();
  } catch (...) {
    report.error = kStreamWriteError;
  }
  report.message = ResultText(report);
  return report;
}

}  // namespace

std::unique_ptr<PreparedStep> ToCommit(FileStep step) {
  class FileCommit final : public PreparedStep {
   public:
    explicit FileCommit(FileStep step) : step_(std::move(step)) {}
    const std::string& Source() const override { return step_.Source(); }
    const std::string& Target() const override { return step_.Target(); }
    bool Renames() const override { return step_.Renames(); }
    FileReport Commit() override { return step_.Commit(); }

   private:
    FileStep step_;
  };
  return std::make_unique<FileCommit>(std::move(step));
}

void WaitBlocking(const WaitForWork& wait) {
  while (!wait(1000)) {
  }
}

CommitScheduler::CommitScheduler(Report report, Waiter waiter)
    : report_(std::move(report)), waiter_(std::move(waiter)) {}

CommitScheduler::~CommitScheduler() {
  if (!thread_.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

bool CommitScheduler::HasRoomFor(const std::string& source,
                                 const std::string& target) const {
  // Folders are compared on the disk: "/" and "\", letter case and links in
  // a folder's path all lead to one identity.
  const std::optional<FileIdentity> folders[] = {FolderIdentity(source),
                                                 FolderIdentity(target)};
  const std::string names[] = {NameSkeleton(FileNamePart(source)),
                               NameSkeleton(FileNamePart(target))};
  const std::lock_guard<std::mutex> lock(mutex_);
  if (static_cast<int>(queued_.size()) >= kCopiesInFlight) return false;
  for (const Queued& queued : queued_) {
    // A file listed twice, or one whose source is the copy before it: done
    // one after the other, the second sees the first one's copy.
    for (int i = 0; i < 2; ++i) {
      if (queued.folder && folders[i] == queued.folder &&
          names[i] == queued.name) {
        return false;
      }
    }
  }
  return true;
}

void CommitScheduler::MakeRoomFor(const std::string& source,
                                  const std::string& target) {
  while (!HasRoomFor(source, target) && ReportOldest()) {
  }
}

void CommitScheduler::Commit(int index, std::unique_ptr<PreparedStep> step) {
  Queued queued;
  queued.index = index;
  queued.source = step->Source();
  queued.target = step->Target();
  if (step->Renames()) {
    queued.folder = FolderIdentity(queued.target);
    queued.name = NameSkeleton(FileNamePart(queued.target));
  }
  queued.step = std::move(step);
  // Started before anything is queued: a thread that cannot start leaves no
  // step behind without one to commit it.
  if (!thread_.joinable()) thread_ = std::thread([this] { CommitInTurn(); });
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    queued_.push_back(std::move(queued));
  }
  changed_.notify_all();
}

void CommitScheduler::CommitInTurn() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    // The first element whose step is still there is the next in turn; the
    // ones before it are committed.
    Queued* next = nullptr;
    changed_.wait(lock, [&] {
      for (Queued& queued : queued_) {
        if (queued.step) {
          next = &queued;
          return true;
        }
      }
      return closing_;
    });
    if (!next) return;
    std::unique_ptr<PreparedStep> step = std::move(next->step);
    // Committing runs unlocked; the queue only grows at its back meanwhile,
    // and this element stays in it until its report is handed on.
    lock.unlock();
    std::optional<FileReport> report;
    std::exception_ptr failure;
    try {
      report.emplace(step->Commit());
    } catch (...) {
      // Out of memory for the report's text, say: the run's thread tells it.
      failure = std::current_exception();
    }
    step.reset();
    lock.lock();
    next->report = std::move(report);
    next->failure = failure;
    changed_.notify_all();
  }
}

bool CommitScheduler::ReportOldest() {
  const auto committed = [this] {
    return queued_.front().report.has_value() || queued_.front().failure;
  };
  std::unique_lock<std::mutex> lock(mutex_);
  if (queued_.empty()) return false;
  // A waiter may return early: the report is read only once it is there.
  while (!committed()) {
    lock.unlock();
    waiter_([&](int milliseconds) {
      std::unique_lock<std::mutex> wait_lock(mutex_);
      return changed_.wait_for(
          wait_lock, std::chrono::milliseconds(milliseconds), committed);
    });
    lock.lock();
  }
  Queued done = std::move(queued_.front());
  queued_.pop_front();
  lock.unlock();
  if (done.failure) {
    report_(done.index, FailedReport(done.source, done.target, done.failure));
  } else {
    report_(done.index, *done.report);
  }
  return true;
}

void CommitScheduler::ReportAll() {
  while (ReportOldest()) {
  }
}

int CommitScheduler::InFlight() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(queued_.size());
}

}  // namespace velkrane
