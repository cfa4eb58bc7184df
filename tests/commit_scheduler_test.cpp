// The scheduler of both runs with its real committing thread: how many
// copies are in flight, what a stop, an error or a waiter that returns early
// does to the files in flight, and a file whose source is the copy before it.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "batch/batch_run.h"
#include "batch/commit_scheduler.h"
#include "batch/output_names.h"
#include "batch/run_texts.h"
#include "batch/tree_run.h"
#include "fileio/error.h"
#include "held_copy.h"
#include "recording_window.h"
#include "test_util.h"

namespace velkrane {
namespace {

using testing::Bytes;
using testing::Head;
using testing::ReadFile;
using testing::RecordingWindow;
using testing::ScopedTempDir;
using testing::WriteSource;
using Texts = std::vector<std::string>;

std::string Saved(const std::string& name) {
  return "status: " + name + ":" + kTailFoundPrefix + name;
}

// Records a tree run's calls; `stop_after` asks to stop once that file is
// done.
struct Recording : TreeRunView {
  Texts events;
  int stop_after = 0;
  bool stop = false;
  void FileStarting(int index, int, const FoundFile&) override {
    events.push_back("start " + std::to_string(index));
  }
  void FileDone(int index, int, const FileReport& report) override {
    events.push_back("done " + std::to_string(index) +
                     (report.result == FileResult::kRepaired ? "" : " failed"));
    if (index == stop_after) stop = true;
  }
  bool StopRequested() override { return stop; }
};

TEST(CommitScheduler, TwoCopiesInFlightAndAStopBetweenFiles) {
  ScopedTempDir dir;
  for (const char* name : {"a.X3F", "b.X3F", "c.X3F", "d.X3F"}) {
    WriteSource(dir.File(name), 30, 60);
  }
  // The third file is started only once the first is reported: at most two
  // copies are in flight, the one made and the one going to the disk.
  Recording all;
  RunTree({dir.Path()}, {}, all);
  EXPECT_EQ((Texts{"start 1", "start 2", "done 1", "start 3", "done 2",
                   "start 4", "done 3", "done 4"}),
            all.events);

  // A stop asked for while the run waits for a commit (Ctrl+C, mostly seen
  // there) starts no further file; the one already made still lands.
  Recording stopped;
  stopped.stop_after = 1;
  const TreeRunSummary summary = RunTree({dir.Path()}, {}, stopped);
  EXPECT_EQ((Texts{"start 1", "start 2", "done 1", "done 2"}), stopped.events);
  EXPECT_TRUE(summary.stopped);
  EXPECT_EQ(2, summary.repaired);
}

// A list whose second file is the first one's copy (from an earlier run):
// done one after the other, the second copies the fresh copy. The second
// file's copy waits until the first copy has its name, which is late enough
// only if its source was opened after that.
TEST(CommitScheduler, ASourceThatIsTheCopyBeforeIt) {
  ScopedTempDir dir;
  const std::string out = dir.File("PostProcessed") + kPathSeparator;
  const Bytes fresh = WriteSource(dir.File("x.X3F"), 40, 80);
  testing::fs::create_directories(testing::PathOf(out));
  const Bytes earlier = WriteSource(out + "x.X3F", 30, 50, 2);
  const std::string deeper = out + "PostProcessed" + kPathSeparator + "x.X3F";

  std::atomic<int> arrivals{0};
  testing::HeldCopy held("x.X3F", [&] {
    if (++arrivals < 2) return;
    // By its size (48 bytes, the earlier copy has 38): Windows lets no one
    // read the source being copied.
    std::error_code error;
    for (int i = 0;
         i < 1000 &&
         testing::fs::file_size(testing::PathOf(out + "x.X3F"), error) != 48;
         ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  held.Release();
  RecordingWindow window;
  window.entries = {dir.File("x.X3F"), out + "x.X3F"};
  RunBatch(window);
  ASSERT_EQ(6u, window.shown.size());
  EXPECT_EQ(Saved("x.X3F"), window.shown[1]);
  EXPECT_EQ(Saved("x.X3F"), window.shown[3]);
  EXPECT_TRUE(Head(fresh, 48) == ReadFile(out + "x.X3F"));
  EXPECT_FALSE(Head(earlier, 38) == ReadFile(deeper))
      << "the second file copied the earlier run's copy";
  EXPECT_TRUE(Head(fresh, 48) == ReadFile(deeper));
}

// An error that ends a run while a copy is going to the disk: that file
// still gets its text and its report before the error is passed on.
TEST(CommitScheduler, AnErrorWithACommitInFlightStillReportsIt) {
  struct Failing : RecordingWindow {
    std::string Entry(int index) const override {
      if (index == 1) throw Error("gone");
      return RecordingWindow::Entry(index);
    }
  };
  ScopedTempDir dir;
  WriteSource(dir.File("a.X3F"), 30, 60);
  WriteSource(dir.File("b.X3F"), 30, 60);
  Failing window;
  window.entries = {dir.File("a.X3F"), dir.File("b.X3F")};
  EXPECT_THROW(RunBatch(window), Error);
  EXPECT_EQ((Texts{"status: " + ProcessingText("a.X3F"), Saved("a.X3F")}),
            window.shown);
  EXPECT_EQ((Texts{"starting 2", "done 0", "ended"}), window.events);

  // The same in a tree run: the second file's line cannot be started.
  struct FailingTree : Recording {
    void FileStarting(int index, int count, const FoundFile& file) override {
      if (index == 2) throw Error("gone");
      Recording::FileStarting(index, count, file);
    }
  };
  FailingTree tree;
  EXPECT_THROW(RunTree({dir.Path()}, {}, tree), Error);
  EXPECT_EQ((Texts{"start 1", "done 1"}), tree.events);
}

// A window whose wait returns before the work is done is asked again; a
// report is never read before the committing thread has written it.
TEST(CommitScheduler, AWaitThatReturnsEarlyIsRepeated) {
  struct Impatient : RecordingWindow {
    void WaitFor(const WaitForWork& wait) override {
      ++wait_rounds;
      wait(0);
    }
  };
  ScopedTempDir dir;
  Impatient window;
  for (const char* name : {"a.X3F", "b.X3F", "c.X3F"}) {
    WriteSource(dir.File(name), 30, 60);
    window.entries.push_back(dir.File(name));
  }
  RunBatch(window);
  ASSERT_EQ(8u, window.shown.size());
  EXPECT_EQ(Saved("a.X3F"), window.shown[1]);
  EXPECT_EQ(Saved("b.X3F"), window.shown[3]);
  EXPECT_EQ(Saved("c.X3F"), window.shown[5]);
  EXPECT_LT(0, window.wait_rounds);
}

// What a commit throws (no memory for its report's text, say) is that file's
// failure: the committing thread lives on and commits the next file.
TEST(CommitScheduler, ACommitThatThrowsFailsOnlyItsFile) {
  struct Throwing : PreparedStep {
    std::string source = "a.X3F", target = "PostProcessed/a.X3F";
    const std::string& Source() const override { return source; }
    const std::string& Target() const override { return target; }
    bool Renames() const override { return false; }
    FileReport Commit() override { throw std::bad_alloc(); }
  };
  ScopedTempDir dir;
  const std::string b = dir.File("b.X3F");
  WriteSource(b, 30, 60);
  RepairOptions options;
  options.make_folder = true;
  Texts reports;
  {
    CommitScheduler commits([&](int index, const FileReport& report) {
      reports.push_back(std::to_string(index) + " " + report.message);
    });
    commits.Commit(1, std::make_unique<Throwing>());
    commits.Commit(2, ToCommit(FileStep::SearchAndCopy(b, TargetFor(b), options,
                                                       nullptr)));
    commits.ReportAll();
  }
  EXPECT_EQ((Texts{std::string("1 ") + kFailedPrefix + "std::bad_alloc",
                   std::string("2 ") + kTailFoundPrefix + "b.X3F"}),
            reports);
}

}  // namespace
}  // namespace velkrane
