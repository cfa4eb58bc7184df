#include "batch/overlapped_commits.h"

#include <chrono>
#include <utility>

#include "fileio/text.h"

namespace velkrane {

namespace {

// Two names that may be one target. Letter case is folded, which is more
// than some file systems do: a wrong guess only costs the overlap, since
// commits are in order and each checks the disk.
bool MayBeOneTarget(const std::string& a, const std::string& b) {
  return EqualIgnoringAsciiCase(a, b);
}

}  // namespace

void WaitBlocking(const WaitForWork& wait) {
  while (!wait(1000)) {
  }
}

OverlappedCommits::~OverlappedCommits() {
  if (!thread_.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void OverlappedCommits::StartCommit(int index, FileStep step) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    Commit commit;
    commit.index = index;
    commit.target = step.Target();
    commit.step.emplace(std::move(step));
    commits_.push_back(std::move(commit));
  }
  changed_.notify_all();
  if (!thread_.joinable()) thread_ = std::thread([this] { CommitInTurn(); });
}

void OverlappedCommits::CommitInTurn() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    // The first commit whose step is still there is the next in turn; the
    // ones before it are done.
    Commit* next = nullptr;
    changed_.wait(lock, [&] {
      for (Commit& commit : commits_) {
        if (commit.step) {
          next = &commit;
          return true;
        }
      }
      return closing_;
    });
    if (!next) return;
    FileStep step = std::move(*next->step);
    next->step.reset();
    // Committing runs unlocked; the queue only grows at its back meanwhile,
    // and this commit stays in it until its report is handed on.
    lock.unlock();
    FileReport report = step.Finish();
    lock.lock();
    next->report.emplace(std::move(report));
    changed_.notify_all();
  }
}

void OverlappedCommits::FinishCommit(const Done& done) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (commits_.empty()) return;
  lock.unlock();
  waiter_([this](int milliseconds) {
    std::unique_lock<std::mutex> wait_lock(mutex_);
    return changed_.wait_for(
        wait_lock, std::chrono::milliseconds(milliseconds),
        [this] { return commits_.front().report.has_value(); });
  });
  lock.lock();
  Commit commit = std::move(commits_.front());
  commits_.pop_front();
  lock.unlock();
  done(commit.index, *commit.report);
}

int OverlappedCommits::InFlight() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(commits_.size());
}

bool OverlappedCommits::MayBeCommitting(const std::string& target) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  for (const Commit& commit : commits_) {
    if (MayBeOneTarget(target, commit.target)) return true;
  }
  return false;
}

void OverlappedCommits::BeforePreparing(const std::string& target,
                                        const Done& done) {
  while (MayBeCommitting(target)) FinishCommit(done);
}

}  // namespace velkrane
