#include "batch/batch_run.h"

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <utility>

#include "batch/commit_scheduler.h"
#include "batch/output_names.h"
#include "batch/repair_one.h"
#include "batch/run_texts.h"
#include "fileio/error.h"
#include "fileio/file_io.h"
#include "fileio/path_parts.h"

namespace velkrane {

std::string TrimEntry(const std::string& entry) {
  const auto blank = [](char c) {
    return static_cast<unsigned char>(c) <= ' ';
  };
  std::string::size_type first = 0;
  std::string::size_type last = entry.size();
  while (first < last && blank(entry[first])) ++first;
  while (last > first && blank(entry[last - 1])) --last;
  return entry.substr(first, last - first);
}

namespace {

// The next entry's copy, made on a thread of its own while the entry before
// it goes to the disk. It was read before the window processed its
// messages, so it is used only if the entry still reads the same
// afterwards; else it is dropped, temporary, new folder and all.
struct CopyAhead {
  int index = -1;
  std::string entry;
  /// Set on the run's thread, read on the preparing one: input is waiting,
  /// so the copy stops before it writes anything, if it has not begun.
  std::shared_ptr<std::atomic<bool>> cancel;
  std::future<FileStep> making;
  std::optional<FileStep> made;
};

class Run {
 public:
  explicit Run(BatchWindow& window)
      : window_(window),
        waiter_([&window](const WaitForWork& wait) { window.WaitFor(wait); }),
        commits_(
            [this](int index, const FileReport& report) {
              window_.SetStatusText(
                  FileDoneText(FileNamePart(report.source), report.message));
              window_.FileDone(index, report);
            },
            waiter_) {
    // The folder is made only once a copy is about to be written in it.
    options_.make_folder = true;
  }

  /// A copy made ahead for an entry the run never got to (an error, or the
  /// list cut short) leaves nothing behind.
  ~Run() { Drop(ahead_); }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  void Go();

 private:
  std::future<FileStep> Prepare(const std::string& entry,
                                const RepairOptions& options) {
    return std::async(std::launch::async, [this, entry, options] {
      return FileStep::SearchAndCopy(entry, TargetFor(entry), options,
                                     &targets_);
    });
  }

  /// The copy for `entry` at `index`: the one made ahead if it still fits,
  /// else one made now.
  FileStep Take(int index, const std::string& entry) {
    CopyAhead ahead = std::exchange(ahead_, CopyAhead());
    if (ahead.made && ahead.index == index && ahead.entry == entry &&
        !ahead.cancel->load()) {
      return std::move(*ahead.made);
    }
    Drop(ahead);
    std::future<FileStep> making = Prepare(entry, options_);
    return Await(making, waiter_);
  }

  /// A copy made ahead that is not used: its temporary goes with it, and so
  /// does the folder it created, unless something else is in it by now.
  static void Drop(CopyAhead& ahead) {
    if (!ahead.made) return;
    const std::string folder = ahead.made->CreatedFolder();
    ahead.made.reset();
    if (!folder.empty()) RemoveEmptyFolderQuietly(folder);
  }

  /// Starts the copy of the entry at `index` while the one before it goes
  /// to the disk, unless input is waiting (it runs once the file before is
  /// done, and may change the list) or the scheduler has no room for it.
  void StartAhead(int index, int count) {
    if (index >= count || index >= window_.EntryCount()) return;
    if (window_.InputHeld()) return;
    const std::string entry = TrimEntry(window_.Entry(index));
    if (entry.empty() || !commits_.HasRoomFor(entry, TargetFor(entry))) return;
    ahead_.index = index;
    ahead_.entry = entry;
    ahead_.cancel = std::make_shared<std::atomic<bool>>(false);
    RepairOptions options = options_;
    options.cancelled = [cancel = ahead_.cancel] { return cancel->load(); };
    ahead_.making = Prepare(entry, options);
  }

  /// The window may start another run or change the list when it processes
  /// its messages; no source may be open then (Windows lets no one else open
  /// it), so the copy made ahead is finished, or stopped, first. Input held
  /// back by then, or while the copy is waited for, stops it: the window's
  /// thread asks at every look at the copy.
  void FinishAhead() {
    if (!ahead_.making.valid()) return;
    const WaitForWork made = [this](int milliseconds) {
      if (window_.InputHeld()) ahead_.cancel->store(true);
      return ahead_.making.wait_for(std::chrono::milliseconds(milliseconds)) ==
             std::future_status::ready;
    };
    while (!made(0)) waiter_(made);
    ahead_.made.emplace(ahead_.making.get());
    if (ahead_.cancel->load()) Drop(ahead_);
  }

  /// One entry of a run over `count`: its copy handed on, the next one's
  /// begun, its report, and the next copy made before any input runs.
  void File(int index, int count, const std::string& entry);

  BatchWindow& window_;
  Waiter waiter_;
  RepairOptions options_;
  // Declared before the scheduler, whose committing thread uses them until
  // its destructor has joined it.
  RunTargets targets_;
  CommitScheduler commits_;
  // After the scheduler: destroyed first, its future waits for the copy.
  CopyAhead ahead_;
};

void Run::File(int index, int count, const std::string& entry) {
  commits_.Commit(index, ToCommit(Take(index, entry)));
  StartAhead(index + 1, count);
  commits_.ReportOldest();
  FinishAhead();
}

void Run::Go() {
  const int count = window_.EntryCount();
  window_.RunStarting(count);
  std::string last_folder;
  for (int index = 0; index < count; ++index) {
    // The list may have been cleared or shortened by a press while messages
    // were processed; that ends the run.
    if (index >= window_.EntryCount()) throw Error(ListIndexOutOfBounds(index));
    const std::string entry = TrimEntry(window_.Entry(index));
    if (entry.empty()) continue;

    last_folder = OutputFolderFor(entry);
    window_.SetStatusText(ProcessingText(FileNamePart(entry)));
    window_.ProcessMessages();
    try {
      File(index, count, entry);
    } catch (...) {
      // The file in flight still gets its text and its mark, and the window
      // keeps answering while it lands.
      if (ahead_.making.valid()) {
        ahead_.cancel->store(true);
        ahead_.made.emplace(Await(ahead_.making, waiter_));
      }
      commits_.ReportAll();
      throw;
    }
    window_.ProcessMessages();
  }
  window_.SetStatusText(kReady);
  window_.AllFilesDone();
  window_.ShowMessage(SummaryText(last_folder));
}

}  // namespace

void RunBatch(BatchWindow& window) {
  if (window.EntryCount() == 0) {
    window.ShowMessage(kNoFilesSelected);
    return;
  }
  struct Ended {
    BatchWindow& window;
    ~Ended() { window.RunEnded(); }
  } ended{window};
  Run(window).Go();
}

}  // namespace velkrane
