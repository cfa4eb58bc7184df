#include "tests/main_form_cases.h"

#include <gtest/gtest.h>

#include "tests/x3f_sample.h"
#include "ui/shared/main_form_layout.h"

namespace velkrane::testing {

namespace {

using Paths = MainFormDriver::Paths;
using Press = MainFormDriver::Press;

}  // namespace

void ExpectPressesDuringARun(MainFormDriver& window) {
  // In `paths` (what Select then picks, or what is dropped) "b" stands for
  // b.X3F, "x" for a file that is never read.
  const struct {
    Press press;
    Paths paths;
    Paths want_statuses;
    Paths want_errors;
    std::size_t want_summaries;
    const char* what;
  } cases[] = {
      {Press::kClear,
       {},
       {Processing("a.X3F"), Saved("a.X3F")},
       {"List index out of bounds (1)"},
       0,
       "Clear ends the run"},
      {Press::kSelect,
       {"x"},
       {Processing("a.X3F"), Saved("a.X3F")},
       {"List index out of bounds (1)"},
       0,
       "Select with a shorter list ends the run"},
      {Press::kSelect,
       {"x", "b"},
       {Processing("a.X3F"), Saved("a.X3F"), Processing("b.X3F"),
        NoTail("b.X3F"), "Ready."},
       {},
       1,
       "Select with a list as long goes on by index"},
      {Press::kDrop,
       {"x", "b"},
       {Processing("a.X3F"), Saved("a.X3F"), Processing("b.X3F"),
        NoTail("b.X3F"), "Ready."},
       {},
       1,
       "a drop with a list as long goes on by index"},
      {Press::kDecode,
       {},
       {Processing("a.X3F"), Processing("a.X3F"), Saved("a.X3F"),
        Processing("b.X3F"), NoTail("b.X3F"), "Ready.", Saved("a.X3F"),
        Processing("b.X3F"), NoTail("b.X3F"), "Ready."},
       {},
       2,
       "Decode runs a nested run first"},
  };
  for (const auto& c : cases) {
    Sources src;
    window.Select({src.a, src.b});
    Paths paths = c.paths;
    for (auto& path : paths) path = path == "b" ? src.b : src.dir.File(path);
    const MainFormDriver::Shown run = window.PressDecode(c.press, paths);
    EXPECT_EQ(c.want_statuses, run.statuses) << c.what;
    EXPECT_EQ(c.want_errors, run.errors) << c.what;
    EXPECT_EQ(Paths(c.want_summaries, SummaryText(src.out)), run.messages)
        << c.what;
    EXPECT_TRUE(Exists(src.out + "a.X3F")) << "copies already written stay";
  }
  // The error did not end the program: the window still answers.
  window.Clear();
  EXPECT_EQ(Paths{kNoFilesSelected}, window.PressDecode().messages);
}

void ExpectCloseDuringARunFinishesSilently(MainFormDriver& window) {
  Sources src;
  const std::string c = src.dir.File("c.X3F");
  WriteSource(c, 20, 40, 3);
  window.Select({src.a, src.b, c});
  const MainFormDriver::Shown run = window.PressDecode(Press::kClose);
  ASSERT_FALSE(run.statuses.empty());
  EXPECT_EQ("Ready.", run.statuses.back()) << "the run went on to its end";
  EXPECT_TRUE(Exists(src.out + "a.X3F"));
  EXPECT_TRUE(Exists(src.out + "c.X3F")) << "the run went on to the end";
  EXPECT_TRUE(run.messages.empty()) << "no summary after a close";
  EXPECT_TRUE(run.errors.empty());
  window.ExpectClosedAfterTheRun();
}

void ExpectAwakeWhileAFileIsCopied(MainFormDriver& window) {
  Sources src;
  window.Select({src.a});
  StatusProbe probe;
  HeldCopy held("a.X3F", [&] { window.PostStatusProbe(probe); });
  probe.held = &held;
  // Released by the repaint alone: a window that never answers leaves the
  // copy to the watchdog.
  window.WatchStatusRepaints(&probe);
  const MainFormDriver::Shown run = window.PressDecode();
  window.WatchStatusRepaints(nullptr);

  EXPECT_TRUE(held.ReleasedByTheTest()) << "the window did not answer";
  EXPECT_EQ(Processing("a.X3F"), probe.status) << "during a.X3F's copy";
  EXPECT_EQ((Paths{Processing("a.X3F"), Saved("a.X3F"), "Ready."}),
            run.statuses);
}

void ExpectRowsShowWhatBecameOfTheirFiles(MainFormDriver& window) {
  ScopedTempDir dir;
  const Paths files = {dir.File("a.X3F"), dir.File("b.X3F"), dir.File("c.X3F")};
  WriteFile(files[0], Joined(MakeX3f(kIma2Last).bytes, Filler(30)));
  WriteFile(files[1], Filler(50, 2));
  window.Select(files);
  const Pixels before = window.ListPixels();
  const MainFormDriver::Shown run = window.PressDecode();
  ASSERT_EQ(7u, run.statuses.size());

  const struct {
    OutcomeMark mark;
    std::string tip;
  } rows[] = {
      {OutcomeMark::kWritten, run.statuses[1] + "\ncomplete X3F"},
      {OutcomeMark::kNoTailFound, run.statuses[3]},
      {OutcomeMark::kFailed, run.statuses[5]},
  };
  const int dpi = window.Dpi();
  for (int row = 0; row < 3; ++row) {
    const Pixels cell = window.MarkCell(row);
    EXPECT_EQ(rows[row].mark, MarkIn(cell)) << row;
    EXPECT_GE(PixelsOf(cell, rows[row].mark).width, ScaleForDpi(7, dpi))
        << "row " << row << " at " << dpi;
    EXPECT_EQ(rows[row].tip, window.TooltipAt(row)) << row;
  }
  EXPECT_EQ(files, window.Entries()) << "the rows' texts stay";
  EXPECT_EQ("", window.TooltipAt(5)) << "below the rows";

  window.Clear();
  window.Select(files);
  EXPECT_TRUE(before.rgb == window.ListPixels().rgb) << "no stale marks";
  EXPECT_EQ("", window.TooltipAt(0));
}

}  // namespace velkrane::testing
