#include "batch/batch_run.h"

#include <future>
#include <optional>
#include <utility>

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

std::string OutputFolderFor(const std::string& entry) {
  const std::string folder = DirectoryPart(entry);
  // A bare name lies in the current folder; "/" or "\" alone would put the
  // copies at the root instead of beside the source.
  const std::string base =
      folder.empty() ? folder : WithTrailingSeparator(folder);
  return base + kOutputFolderName + kPathSeparator;
}

namespace {

// The next entry's copy, made while the entry before it goes to the disk. It
// was read before the window processed its messages, so it is used only if
// the entry still reads the same afterwards; else it is dropped, temporary
// and all.
struct NextCopy {
  int index = -1;
  std::string entry;
  std::future<FileStep> making;
  std::optional<FileStep> made;
};

class Run {
 public:
  explicit Run(BatchWindow& window)
      : window_(window),
        waiter_([&window](const WaitForWork& wait) { window.WaitFor(wait); }),
        commits_(waiter_) {
    // The folder is made only once a copy is about to be written in it.
    options_.make_folder = true;
  }

  void Go();

 private:
  static std::string TargetFor(const std::string& entry) {
    return OutputFolderFor(entry) + FileNamePart(entry);
  }

  std::future<FileStep> Prepare(const std::string& entry) {
    return std::async(std::launch::async, [this, entry] {
      return FileStep(entry, TargetFor(entry), options_, &targets_);
    });
  }

  /// The copy for `entry` at `index`: the one made ahead if it still fits,
  /// else one made now.
  FileStep Take(int index, const std::string& entry) {
    NextCopy next = std::exchange(next_, NextCopy());
    if (next.made && next.index == index && next.entry == entry) {
      return std::move(*next.made);
    }
    next.made.reset();
    std::future<FileStep> making = Prepare(entry);
    return Await(making, waiter_);
  }

  void StartNext(int index, int count) {
    if (index >= count || index >= window_.EntryCount()) return;
    const std::string entry = TrimEntry(window_.Entry(index));
    // A file listed twice waits for its own copy to land first.
    if (entry.empty() || commits_.MayBeCommitting(TargetFor(entry))) return;
    next_.index = index;
    next_.entry = entry;
    next_.making = Prepare(entry);
  }

  /// The window may start another run or change the list when it processes
  /// its messages; no source may be open then (Windows lets no one else open
  /// it), so the copy made ahead is finished first.
  void FinishNext() {
    if (next_.making.valid()) next_.made.emplace(Await(next_.making, waiter_));
  }

  BatchWindow& window_;
  Waiter waiter_;
  RepairOptions options_;
  RunTargets targets_;
  OverlappedCommits commits_;
  NextCopy next_;
};

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
    const std::string name = FileNamePart(entry);
    window_.SetStatusText(ProcessingText(name));
    window_.ProcessMessages();

    commits_.StartCommit(index, Take(index, entry));
    StartNext(index + 1, count);
    commits_.FinishCommit([&](int done, const FileReport& report) {
      window_.SetStatusText(FileDoneText(name, report.message));
      window_.FileDone(done, report);
    });
    FinishNext();
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
