#pragma once

// Puts one file's copy on the disk (flush, rename, flush of its folder) on a
// thread of its own while the run makes the next file's copy: a batch then
// waits for the disk about once, not once per file. At most one commit is in
// flight and commits happen in file order, so no file's result is told
// before its copy is on the disk, and each copy is checked against the disk
// after every earlier one has landed.

#include <functional>
#include <future>
#include <string>

#include "batch/repair_one.h"

namespace velkrane {

/// Waits up to `milliseconds` for work running on another thread and says
/// whether it is done.
using WaitForWork = std::function<bool(int milliseconds)>;

/// How a run waits for such work: a window keeps itself alive meanwhile.
using Waiter = std::function<void(const WaitForWork&)>;

/// Returns once `wait` says the work is done, doing nothing else.
void WaitBlocking(const WaitForWork& wait);

/// The value of `future`, waited for with `waiter`.
template <typename T>
T Await(std::future<T>& future, const Waiter& waiter) {
  waiter([&future](int milliseconds) {
    return future.wait_for(std::chrono::milliseconds(milliseconds)) ==
           std::future_status::ready;
  });
  return future.get();
}

class OverlappedCommits {
 public:
  /// Gets the report of a file once its copy is on the disk (or failed).
  using Done = std::function<void(int index, const FileReport& report)>;

  explicit OverlappedCommits(Waiter waiter = WaitBlocking)
      : waiter_(std::move(waiter)) {}
  /// Waits for a commit still in flight (an error is ending the run): a copy
  /// is never left half done.
  ~OverlappedCommits();
  OverlappedCommits(const OverlappedCommits&) = delete;
  OverlappedCommits& operator=(const OverlappedCommits&) = delete;

  /// Call before preparing a file for `target`: a commit in flight to the
  /// same name (a file listed twice) finishes first, so no two copies of
  /// one target are ever in flight.
  void BeforePreparing(const std::string& target, const Done& done);
  /// Waits for the commit in flight, if any, and hands its report on.
  void FinishCommit(const Done& done);
  /// Starts committing file `index`'s step on a thread of its own; the commit
  /// before it must be finished.
  void StartCommit(int index, FileStep step);
  bool InFlight() const { return report_.valid(); }
  /// True when the commit in flight may be to `target`.
  bool MayBeCommitting(const std::string& target) const;

 private:
  Waiter waiter_;
  int index_ = 0;
  std::string target_;
  std::future<FileReport> report_;
};

}  // namespace velkrane
