#include "batch/overlapped_commits.h"

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
  if (report_.valid()) report_.wait();
}

bool OverlappedCommits::MayBeCommitting(const std::string& target) const {
  return InFlight() && MayBeOneTarget(target, target_);
}

void OverlappedCommits::BeforePreparing(const std::string& target,
                                        const Done& done) {
  if (MayBeCommitting(target)) FinishCommit(done);
}

void OverlappedCommits::FinishCommit(const Done& done) {
  if (!InFlight()) return;
  const FileReport report = Await(report_, waiter_);
  done(index_, report);
}

void OverlappedCommits::StartCommit(int index, FileStep step) {
  index_ = index;
  target_ = step.Target();
  report_ = std::async(std::launch::async,
                       [step = std::move(step)]() mutable { return step.Finish(); });
}

}  // namespace velkrane
