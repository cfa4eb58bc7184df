#pragma once

// The one scheduler of a run's files: a producer prepares each file (finds
// its end, writes and checks its copy under a temporary name) and hands the
// prepared step on; the scheduler commits the steps one at a time, in the
// order handed on, on a thread of its own (flush, rename, flush of the
// folder), and reports each one, in that order, on the producer's thread.
// A batch then waits for the disk about once, not once per file, and no
// file's result is told before its copy is on the disk.
//
// How a producer drives it, for each file in order:
//
//   scheduler.MakeRoomFor(source, target);  // reports older files as needed
//   if (stop asked for) break;              // never after a wait
//   scheduler.Commit(index, Prepare(...));  // this file now goes to the disk
//   ...
//   scheduler.ReportAll();                  // at the end, and on an error
//
// or, to prepare the next file on a thread of its own while the window
// waits (Decode), HasRoomFor() first and ReportOldest() after.
//
// The threads, in Decode (batch_run.cpp) and in velkrane-cli (tree_run.cpp):
//
// - The run's thread: the window's thread in Decode, main() in velkrane-cli.
//   It reads the list, calls every BatchWindow or TreeRunView function and
//   every report callback, and owns the scheduler. It waits only through the
//   scheduler's Waiter (a window keeps repainting meanwhile): for the oldest
//   report, and in Decode for a copy being made.
// - The preparing thread, Decode only: one std::async per file, which finds
//   the end and writes the copy while the window answers. In velkrane-cli
//   the run's thread prepares. It shares only RunTargets (own mutex), the
//   copy it returns through its future, and for a copy made ahead a cancel
//   flag (an atomic) it reads before it writes anything. It ends when that
//   copy is made: the run waits for it before the window processes any
//   input, since Windows lets no one else open a source a copy is being
//   made from. The run's CopyAhead is declared after the scheduler, so its
//   future, which waits for this thread, goes first.
// - The committing thread, one per scheduler, started with the first commit.
//   It waits on `changed_` for a step to commit, commits it unlocked, and
//   stores its report. It ends when the scheduler is destroyed, after
//   committing every step still queued: a copy handed on is never left half
//   done. The scheduler is the last member a run declares that the thread
//   touches (RunTargets is declared before it), so the join in its
//   destructor runs before anything the thread uses is destroyed.
//
// - velkrane-cli's stop: a signal handler (POSIX, on whichever thread the
//   signal lands) or the console's control handler (Windows, on a thread
//   the system starts) sets an atomic flag, which the run's thread reads
//   after each MakeRoomFor(). On a console close the Windows handler waits
//   up to 4.5 s for the run to finish (console_win32.cpp).
//
// The card recovery drives it the same way: each recovered photo is a step
// whose Commit() puts it on the disk, and reports come in card order.

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "batch/repair_one.h"
#include "fileio/file_io.h"

namespace velkrane {

/// The most copies in flight at once: the one being made, and the one
/// before it going to the disk meanwhile. More would hold more temporaries
/// and open sources for no gain: commits come one at a time anyway.
inline constexpr int kCopiesInFlight = 2;

/// Waits up to `milliseconds` for work running on another thread and says
/// whether it is done.
using WaitForWork = std::function<bool(int milliseconds)>;

/// How a run waits for such work: a window keeps itself alive meanwhile. It
/// may return before the work is done; it is then called again.
using Waiter = std::function<void(const WaitForWork&)>;

/// Returns once `wait` says the work is done, doing nothing else.
void WaitBlocking(const WaitForWork& wait);

/// The value of `future`, waited for with `waiter`.
template <typename T>
T Await(std::future<T>& future, const Waiter& waiter) {
  const WaitForWork ready = [&future](int milliseconds) {
    return future.wait_for(std::chrono::milliseconds(milliseconds)) ==
           std::future_status::ready;
  };
  while (!ready(0)) waiter(ready);
  return future.get();
}

/// One file's work, prepared and waiting to be committed.
class PreparedStep {
 public:
  virtual ~PreparedStep() = default;
  /// Where the file came from and where its work goes, for its report should
  /// Commit() throw, and for the scheduler's look at what is in flight.
  virtual const std::string& Source() const = 0;
  virtual const std::string& Target() const = 0;
  /// True when Commit() will give a new file the target's name.
  virtual bool Renames() const = 0;
  /// Runs once, on the committing thread: puts the work on the disk and says
  /// what became of it. What it throws becomes a failed report.
  virtual FileReport Commit() = 0;
};

/// A file's step (FileStep) as the scheduler commits it.
std::unique_ptr<PreparedStep> ToCommit(FileStep step);

class CommitScheduler {
 public:
  /// Gets each step's report once it is on the disk (or failed), on the
  /// run's thread, in the order the steps were handed on. `index` is the
  /// one Commit() was given.
  using Report = std::function<void(int index, const FileReport& report)>;

  explicit CommitScheduler(Report report, Waiter waiter = WaitBlocking);
  /// Commits the steps still queued and joins the committing thread; their
  /// reports are dropped, so a run reports them first (ReportAll), errors
  /// included.
  ~CommitScheduler();
  CommitScheduler(const CommitScheduler&) = delete;
  CommitScheduler& operator=(const CommitScheduler&) = delete;

  /// True when a file read from `source` and written to `target` may be
  /// prepared now: fewer than kCopiesInFlight steps queued, and none of them
  /// renames a copy over something that may be that source or target.
  bool HasRoomFor(const std::string& source, const std::string& target) const;
  /// Reports the oldest steps, waiting for each, until HasRoomFor().
  void MakeRoomFor(const std::string& source, const std::string& target);
  /// Queues `step`; it is committed once every step queued before it is.
  void Commit(int index, std::unique_ptr<PreparedStep> step);
  /// Waits for the oldest queued step and reports it; false when none is.
  bool ReportOldest();
  /// Reports every queued step.
  void ReportAll();
  /// Steps queued and not yet reported.
  int InFlight() const;

 private:
  struct Queued {
    int index = 0;
    std::string source;
    std::string target;
    /// Of the folder a renaming step's copy goes to, and its name there.
    std::optional<FileIdentity> folder;
    std::string name;
    std::unique_ptr<PreparedStep> step;  // until the committing thread takes it
    std::optional<FileReport> report;    // once committed
    std::exception_ptr failure;          // instead, when Commit() threw
  };

  void CommitInTurn();

  const Report report_;
  const Waiter waiter_;
  mutable std::mutex mutex_;
  /// Signalled when a step is queued, committed, or the scheduler closes.
  std::condition_variable changed_;
  /// In the order handed on. Guarded by mutex_; the committing thread only
  /// changes `step`, `report` and `failure` of an element, which stays in
  /// place until the run's thread has reported it.
  std::deque<Queued> queued_;
  bool closing_ = false;  // guarded by mutex_
  /// Started with the first commit; joined by the destructor. Only the run's
  /// thread touches it.
  std::thread thread_;
};

}  // namespace velkrane
