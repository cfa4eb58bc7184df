#include "batch/batch_run.h"

#include <gtest/gtest.h>

#include <vector>

#include "batch/run_texts.h"
#include "fileio/error.h"
#include "fileio/file_io.h"
#include "recording_window.h"
#include "test_util.h"

namespace velkrane {
namespace {

using testing::Bytes;
using testing::Exists;
using testing::Filler;
using testing::Head;
using testing::Listing;
using testing::ReadFile;
using testing::ScopedTempDir;
using testing::WriteFile;
using testing::WriteSource;

using FakeWindow = testing::RecordingWindow;

std::string Sep() { return std::string(1, kPathSeparator); }

const std::string kSaved = std::string(kTailFoundPrefix);

TEST(BatchRun, EmptyListShowsOnlyTheBox) {
  FakeWindow window;
  RunBatch(window);
  EXPECT_EQ(std::vector<std::string>{"box: Sorry, no files selected."},
            window.shown);
  EXPECT_EQ(0, window.message_rounds);
}

TEST(BatchRun, TextsInOrder) {
  ScopedTempDir dir;
  const std::string good = dir.File("good.X3F");
  const std::string plain = dir.File("plain.X3F");
  const std::string empty = dir.File("empty.X3F");
  const std::string after = dir.File("after.X3F");
  WriteSource(good, 100, 140);
  WriteFile(plain, Filler(100));
  WriteFile(empty, {});
  WriteSource(after, 30, 70, 2);

  FakeWindow window;
  window.entries = {"  " + good + " \t", " ", plain, empty, after, "\r\n"};
  RunBatch(window);

  const std::string out = dir.File("PostProcessed") + Sep();
  const std::vector<std::string> want = {
      "status: Processing file good.X3F...",
      "status: good.X3F:" + kSaved + "good.X3F",
      "status: Processing file plain.X3F...",
      "status: plain.X3F:Failed to post-process - no file tail found.",
      "status: Processing file empty.X3F...",
      // A failure shows its own cause, never an earlier file's result.
      "status: empty.X3F:Failed to post-process - Stream read error",
      "status: Processing file after.X3F...",
      "status: after.X3F:" + kSaved + "after.X3F",
      "status: Ready.",
      "box: Post-Process Completed. - New X3F Files were Saved at" + out,
  };
  EXPECT_EQ(want, window.shown);
  EXPECT_EQ(8, window.message_rounds);
  // The blank entries are no files: no report for them.
  EXPECT_EQ((std::vector<std::string>{
                "starting 6", "done 0", "done 2", "done 3", "done 4",
                "all done after status: Ready.", "ended"}),
            window.events);
  EXPECT_EQ(108u, ReadFile(out + "good.X3F").size());
  EXPECT_EQ(38u, ReadFile(out + "after.X3F").size());
  EXPECT_FALSE(Exists(out + "plain.X3F"));
  EXPECT_FALSE(Exists(out + "empty.X3F"));
}

TEST(BatchRun, BlankEntriesOnly) {
  FakeWindow window;
  window.entries = {"", "   ", "\t\x01\x1f "};
  RunBatch(window);
  EXPECT_EQ((std::vector<std::string>{
                "status: Ready.",
                "box: Post-Process Completed. - New X3F Files were Saved at"}),
            window.shown);
}

TEST(BatchRun, FoldersBesideEachSource) {
  ScopedTempDir dir;
  const std::string one = dir.File("one") + Sep();
  const std::string two = dir.File("two") + Sep();
  testing::fs::create_directories(testing::PathOf(one + "PostProcessed"));
  testing::fs::create_directories(testing::PathOf(two));
  const Bytes first = WriteSource(one + "same.X3F", 50, 90, 1);
  const Bytes second = WriteSource(two + "same.X3F", 60, 100, 2);
  const Bytes nested =
      WriteSource(one + "PostProcessed" + Sep() + "inner.X3F", 70, 110, 3);

  FakeWindow window;
  window.entries = {one + "same.X3F", two + "same.X3F", two + "same.X3F",
                    one + "PostProcessed" + Sep() + "inner.X3F"};
  RunBatch(window);

  EXPECT_EQ(Head(first, 58),
            ReadFile(one + "PostProcessed" + Sep() + "same.X3F"));
  EXPECT_EQ(Head(second, 68),
            ReadFile(two + "PostProcessed" + Sep() + "same.X3F"));
  const std::string inner =
      one + "PostProcessed" + Sep() + "PostProcessed" + Sep();
  EXPECT_EQ(Head(nested, 78), ReadFile(inner + "inner.X3F"));
  EXPECT_EQ(
      "box: Post-Process Completed. - New X3F Files were Saved at" + inner,
      window.shown.back());
  // Sources are never changed.
  EXPECT_EQ(second, ReadFile(two + "same.X3F"));
}

TEST(BatchRun, UncreatableFolderFailsOnlyThatFile) {
  ScopedTempDir dir;
  const std::string blocked = dir.File("blocked") + Sep();
  testing::fs::create_directories(testing::PathOf(blocked));
  WriteFile(blocked + "PostProcessed", {'x'});  // a file where the folder goes
  WriteSource(blocked + "a.X3F", 40, 80);
  WriteFile(blocked + "none.X3F", Filler(40));
  WriteSource(dir.File("b.X3F"), 40, 80);

  FakeWindow window;
  window.entries = {blocked + "a.X3F", blocked + "none.X3F", dir.File("b.X3F")};
  RunBatch(window);
  ASSERT_EQ(8u, window.shown.size());
  EXPECT_EQ(0u, window.shown[1].find(
                    "status: a.X3F:Failed to post-process - Cannot create"))
      << window.shown[1];
  EXPECT_EQ("status: none.X3F:Failed to post-process - no file tail found.",
            window.shown[3]);
  EXPECT_EQ("status: b.X3F:" + kSaved + "b.X3F", window.shown[5]);
  EXPECT_EQ(Bytes{'x'}, ReadFile(blocked + "PostProcessed"));
}

// A mistyped path, a file without a tail and an empty one get no folder; the
// "PostProcessed" folder comes with the first copy, never the source's own.
TEST(BatchRun, FoldersOnlyForCopies) {
  ScopedTempDir dir;
  const std::string plain = dir.File("plain") + Sep(),
                    good = dir.File("good") + Sep();
  for (const auto& folder : {plain, good}) {
    testing::fs::create_directories(testing::PathOf(folder));
  }
  WriteFile(plain + "none.X3F", Filler(40));
  WriteFile(plain + "empty.X3F", {});
  WriteSource(good + "a.X3F", 40, 80);

  FakeWindow window;
  window.entries = {dir.File("nosuchdir") + Sep() + "x.X3F", plain + "none.X3F",
                    plain + "empty.X3F", good + "a.X3F"};
  RunBatch(window);
  EXPECT_FALSE(Exists(dir.File("nosuchdir")));
  EXPECT_EQ(2u, Listing(plain).size());
  EXPECT_TRUE(Exists(good + "PostProcessed" + Sep() + "a.X3F"));
}

TEST(BatchRun, ListChangedWhileMessagesAreProcessed) {
  ScopedTempDir dir;
  const std::string a = dir.File("a.X3F"), b = dir.File("b.X3F"),
                    c = dir.File("c.X3F");
  for (const auto& path : {a, b, c}) WriteSource(path, 40, 80);

  // Cleared after the first file: index 1 is gone; no "Ready.", no summary.
  FakeWindow cleared;
  cleared.entries = {a, b, c};
  cleared.on_messages = [](FakeWindow& w) {
    if (w.message_rounds == 2) w.entries.clear();
  };
  try {
    RunBatch(cleared);
    ADD_FAILURE() << "the run went on";
  } catch (const Error& e) {
    EXPECT_STREQ("List index out of bounds (1)", e.what());
  }
  EXPECT_EQ("status: a.X3F:" + kSaved + "a.X3F", cleared.shown.back());
  EXPECT_EQ((std::vector<std::string>{"starting 3", "done 0", "ended"}),
            cleared.events)
      << "a run ended by an error still ends";
  EXPECT_TRUE(Exists(dir.File("PostProcessed") + Sep() + "a.X3F"));

  // Replaced by a list as long: the run goes on with the new entries.
  FakeWindow replaced;
  replaced.entries = {a, b, c};
  replaced.on_messages = [&](FakeWindow& w) {
    if (w.message_rounds == 1) w.entries = {c, c, b};
  };
  RunBatch(replaced);
  EXPECT_EQ("status: Processing file a.X3F...", replaced.shown[0]);
  EXPECT_EQ("status: Processing file c.X3F...", replaced.shown[2]);
  EXPECT_EQ("status: Processing file b.X3F...", replaced.shown[4]);
  EXPECT_EQ("status: Ready.", replaced.shown[6]);
}

// A copy of the run replaced by another run (a Decode nested in it) leaves
// its identity free, and the disk may give it to the next new file: here a
// hard link to the old copy, at the next file's target, stands for that. The
// next file is still saved, not refused as if its target were that copy.
TEST(BatchRun, AReplacedCopyNoLongerHoldsItsIdentity) {
  ScopedTempDir dir;
  const std::string a = dir.File("a.X3F"), b = dir.File("b.X3F");
  WriteSource(a, 40, 80);
  const Bytes b_bytes = WriteSource(b, 50, 90, 2);
  const std::string out = dir.File("PostProcessed") + Sep();
  FakeWindow window;
  window.entries = {a, b};
  window.on_messages = [&](FakeWindow& w) {
    if (w.message_rounds != 2) return;
    testing::fs::create_hard_link(testing::PathOf(out + "a.X3F"),
                                  testing::PathOf(out + "b.X3F"));
    WriteFile(out + "new.X3F", Filler(20));
    testing::fs::rename(testing::PathOf(out + "new.X3F"),
                        testing::PathOf(out + "a.X3F"));
  };
  RunBatch(window);
  EXPECT_EQ("status: b.X3F:" + kSaved + "b.X3F", window.shown[3]);
  EXPECT_EQ(Head(b_bytes, 58), ReadFile(out + "b.X3F"));
}

TEST(BatchRun, NestedDecodeFinishesFirst) {
  ScopedTempDir dir;
  const std::string a = dir.File("a.X3F"), b = dir.File("b.X3F");
  WriteSource(a, 40, 80);
  WriteSource(b, 50, 90);
  FakeWindow window;
  window.entries = {a, b};
  bool pressed = false;
  window.on_messages = [&](FakeWindow& w) {
    if (!pressed) {
      pressed = true;
      RunBatch(w);  // "Decode" pressed again mid-run
    }
  };
  RunBatch(window);
  const std::string summary =
      "box: Post-Process Completed. - New X3F Files were Saved at" +
      dir.File("PostProcessed") + Sep();
  ASSERT_EQ(12u, window.shown.size());
  EXPECT_EQ("status: Processing file a.X3F...", window.shown[0]);
  EXPECT_EQ(summary, window.shown[6]);  // the inner run's own summary
  EXPECT_EQ(summary, window.shown[11]);
}

TEST(BatchRun, TrimAndFolderRules) {
  EXPECT_EQ("a b", TrimEntry(" \t\r\n a b \x01 "));
  // Bytes of UTF-8 sequences sort above the space and stay.
  EXPECT_EQ("\xc3\xa9t\xc3\xa9\xc2\xa0",
            TrimEntry("\xc3\xa9t\xc3\xa9\xc2\xa0 "));
  // A bare name gets its copy beside it, not at the root.
  EXPECT_EQ("PostProcessed" + Sep(), OutputFolderFor("bare.X3F"));
}

}  // namespace
}  // namespace velkrane
