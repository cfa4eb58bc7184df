#pragma once

// Puts one file's copy on the disk (flush, rename, flush of its folder) on a
// thread of its own while the run makes the next file's copy: a batch then
// waits for the disk about once, not once per file. Commits happen one at a
// time in file order, each right after the one before, so no file's result
// is told before its copy is on the disk, and each copy is checked against
// the disk after every earlier one has landed.

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

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
  /// Finishes the commits still queued (an error is ending the run): a copy
  /// is never left half done.
  ~OverlappedCommits();
  OverlappedCommits(const OverlappedCommits&) = delete;
  OverlappedCommits& operator=(const OverlappedCommits&) = delete;

  /// Queues file `index`'s step; it is committed as soon as the commits
  /// queued before it are done.
  void StartCommit(int index, FileStep step);
  /// Waits for the oldest queued commit, if any, and hands its report on.
  void FinishCommit(const Done& done);
  /// Commits queued and not yet handed on.
  int InFlight() const;
  /// True when a queued commit may be to `target`.
  bool MayBeCommitting(const std::string& target) const;
  /// Call before preparing a file for `target`: commits queued to the same
  /// name (a file listed twice) finish first, so no two copies of one target
  /// are ever in flight.
  void BeforePreparing(const std::string& target, const Done& done);

 private:
  struct Commit {
    int index = 0;
    std::string target;
    std::optional<FileStep> step;      // until the committing thread takes it
    std::optional<FileReport> report;  // once it is done
  };

  void CommitInTurn();

  Waiter waiter_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Commit> commits_;  // in file order
  bool closing_ = false;
  std::thread thread_;  // started with the first commit
};

}  // namespace velkrane
