#include "ui/shared/decode_runs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "fileio/file_io.h"
#include "held_copy.h"
#include "recording_window.h"
#include "test_util.h"
#include "x3f_sample.h"

namespace velkrane {
namespace {

using testing::RecordingWindow;
using Texts = std::vector<std::string>;

// DecodeRuns wired as both front ends wire it, over the recording window:
// the close and the error box land in `shown` with the run's texts.
struct Form {
  RecordingWindow window;
  DecodeRuns runs{[this] { window.shown.push_back("closed"); },
                  [this](const std::string& text) {
                    window.shown.push_back("error box: " + text);
                  }};
  int presses = 0;

  /// A press of "Decode", with the front ends' catch around it.
  void PressDecode() {
    ++presses;
    try {
      runs.Decode(window);
    } catch (const std::exception& e) {
      runs.ShowError(e.what());
    }
  }
  void AskToClose() { EXPECT_FALSE(runs.AskToClose()) << "closed mid-run"; }
  /// The list replaced, as Select, Clear and a drop do it.
  void ReplaceList(std::vector<std::string> entries) {
    window.entries = std::move(entries);
    runs.ListChanged();
  }
  /// Each row's tip, or "-" for a row without an outcome.
  Texts Tips(int rows) const {
    Texts tips;
    for (int row = 0; row < rows; ++row) {
      const RowOutcome* outcome = runs.Outcome(row);
      tips.push_back(outcome ? outcome->tip : "-");
    }
    return tips;
  }
};

TEST(DecodeRuns, CloseDuringARunWaitsForTheOutermostRun) {
  testing::ScopedTempDir dir;
  std::vector<std::string> files;
  for (const char* name : {"a.X3F", "b.X3F", "c.X3F"}) {
    testing::WriteSource(dir.File(name), 30, 60);
    files.push_back(dir.File(name));
  }
  const std::string out = dir.File("PostProcessed") + kPathSeparator;
  const auto processing = [](const char* name) {
    return "status: " + ProcessingText(name);
  };
  const auto saved = [](const char* name) {
    return std::string("status: ") + name + ":" + kTailFoundPrefix + name;
  };
  const std::string summary = "box: " + SummaryText(out);

  const struct {
    const char* what;
    std::function<void(Form&)> on_messages;
    Texts want;
    bool last_copied;
  } cases[] = {
      {"no close: the boxes show",
       [](Form&) {},
       {processing("a.X3F"), saved("a.X3F"), processing("b.X3F"),
        saved("b.X3F"), processing("c.X3F"), saved("c.X3F"), "status: Ready.",
        summary},
       true},
      {"close: the remaining files, then no summary, then the close",
       [](Form& f) {
         if (f.window.message_rounds == 1) f.AskToClose();
       },
       {processing("a.X3F"), saved("a.X3F"), processing("b.X3F"),
        saved("b.X3F"), processing("c.X3F"), saved("c.X3F"), "status: Ready.",
        "closed"},
       true},
      {"a run ended by an error closes too, without the error box",
       [](Form& f) {
         if (f.window.message_rounds == 1) f.AskToClose();
         if (f.window.message_rounds == 2) f.window.entries.resize(1);
       },
       {processing("a.X3F"), saved("a.X3F"), "closed"},
       false},
      {"a close during a nested run waits for the outer one",
       [](Form& f) {
         if (f.presses == 1) f.PressDecode();  // Decode pressed again
         if (f.window.message_rounds == 2) f.AskToClose();
       },
       {processing("a.X3F"), processing("a.X3F"), saved("a.X3F"),
        processing("b.X3F"), saved("b.X3F"), processing("c.X3F"),
        saved("c.X3F"), "status: Ready.", saved("a.X3F"), processing("b.X3F"),
        saved("b.X3F"), processing("c.X3F"), saved("c.X3F"), "status: Ready.",
        "closed"},
       true},
  };
  for (const auto& c : cases) {
    testing::fs::remove_all(testing::PathOf(out));
    Form form;
    form.window.entries = files;
    form.window.on_messages = [&](RecordingWindow&) { c.on_messages(form); };
    form.PressDecode();
    EXPECT_EQ(c.want, form.window.shown) << c.what;
    EXPECT_TRUE(form.runs.AskToClose()) << c.what << ": closes after the run";
    EXPECT_EQ(c.last_copied, testing::Exists(out + "c.X3F")) << c.what;
  }
}

// A press that comes while the window waits for a file's work runs at the
// next ProcessMessages, after that file's result: here a second Decode,
// which would otherwise start between a.X3F's two texts.
TEST(DecodeRuns, InputDuringAFileWaitsForTheFilesEnd) {
  testing::ScopedTempDir dir;
  std::vector<std::string> files;
  for (const char* name : {"a.X3F", "b.X3F"}) {
    testing::WriteSource(dir.File(name), 30, 60);
    files.push_back(dir.File(name));
  }
  Form form;
  form.window.entries = files;
  form.window.on_wait = [&](RecordingWindow& w, const WaitForWork&) {
    if (w.wait_rounds == 1) form.runs.Input([&] { form.PressDecode(); });
  };
  form.PressDecode();

  const std::string out = dir.File("PostProcessed") + kPathSeparator;
  const auto saved = [](const char* name) {
    return std::string("status: ") + name + ":" + kTailFoundPrefix + name;
  };
  const Texts run = {"status: " + ProcessingText("b.X3F"), saved("b.X3F"),
                     "status: Ready.", "box: " + SummaryText(out)};
  Texts want = {"status: " + ProcessingText("a.X3F"), saved("a.X3F"),
                "status: " + ProcessingText("a.X3F"), saved("a.X3F")};
  want.insert(want.end(), run.begin(), run.end());
  want.insert(want.end(), run.begin(), run.end());
  EXPECT_EQ(want, form.window.shown);

  // Nothing left held: a press after the run runs at once.
  form.window.entries.clear();
  form.runs.Input([&] { form.PressDecode(); });
  EXPECT_EQ("box: " + std::string(kNoFilesSelected), form.window.shown.back());
}

// A press that empties the list while a file is waited for takes effect
// once that file is done. While its copy is made: the next file's copy is
// not begun. While it goes to the disk: the next file's copy, begun, is
// dropped with the folder it made.
TEST(DecodeRuns, InputDuringAFileStopsTheCopyMadeAhead) {
  for (const int round : {1, 2}) {
    SCOPED_TRACE(round == 1 ? "while its copy is made"
                            : "while it goes to the disk");
    testing::ScopedTempDir dir;
    const std::string one = dir.File("one") + kPathSeparator,
                      two = dir.File("two") + kPathSeparator;
    testing::fs::create_directories(testing::PathOf(one));
    testing::fs::create_directories(testing::PathOf(two));
    testing::WriteSource(one + "a.X3F", 30, 60);
    testing::WriteSource(two + "b.X3F", 30, 60);
    // The press comes while this file's copy is held: a's own copy, or b's
    // made ahead while a goes to the disk.
    std::atomic<bool> arrived{false};
    testing::HeldCopy held(round == 1 ? "a.X3F" : "b.X3F",
                           [&] { arrived = true; });
    Form form;
    form.window.entries = {one + "a.X3F", two + "b.X3F"};
    bool pressed = false;
    form.window.on_wait = [&](RecordingWindow&, const WaitForWork& work) {
      while (!pressed && !arrived && !work(1)) {
      }
      if (pressed || !arrived) return;
      pressed = true;
      form.runs.Input([&] { form.ReplaceList({}); });
      held.Release();
    };
    // Dropped before the window answers the press, not later.
    bool folder_seen = false;
    form.window.on_messages = [&](RecordingWindow&) {
      folder_seen =
          folder_seen || (pressed && testing::Exists(two + "PostProcessed"));
    };
    form.PressDecode();
    EXPECT_TRUE(held.ReleasedByTheTest());
    EXPECT_EQ("error box: List index out of bounds (1)",
              form.window.shown.back());
    EXPECT_TRUE(testing::Exists(one + "PostProcessed"));
    EXPECT_FALSE(folder_seen);
    EXPECT_FALSE(testing::Exists(two + "PostProcessed"));
    const std::vector<std::string> begun =
        round == 1 ? std::vector<std::string>{"a.X3F"}
                   : std::vector<std::string>{"a.X3F", "b.X3F"};
    EXPECT_EQ(begun, held.Begun());
  }
}

// A repaired file, one without a tail and a missing one: each row's tip is
// the status text the file got, and a written copy's verdict. The outcomes
// belong to the list the entries were read from and to the latest run.
TEST(DecodeRuns, EachRowKeepsItsOutcome) {
  testing::ScopedTempDir dir;
  const std::string a = dir.File("a.X3F"), b = dir.File("b.X3F"),
                    c = dir.File("c.X3F");
  testing::WriteFile(a,
                     testing::Joined(testing::MakeX3f(testing::kIma2Last).bytes,
                                     testing::Filler(30)));
  testing::WriteFile(b, testing::Filler(50, 2));
  const auto status = [](const std::string& shown) {
    return shown.substr(std::string("status: ").size());
  };

  Form form;
  form.ReplaceList({a, b, c});
  form.PressDecode();
  ASSERT_EQ(8u, form.window.shown.size());
  const Texts first = form.Tips(3);
  EXPECT_EQ((Texts{status(form.window.shown[1]) + "\ncomplete X3F",
                   status(form.window.shown[3]), status(form.window.shown[5])}),
            first);

  const struct {
    const char* what;
    std::function<void(Form&)> on_messages;
    Texts want_tips;
  } cases[] = {
      {"Decode again starts afresh",
       [](Form& f) {
         if (f.window.message_rounds == 1) {
           EXPECT_EQ((Texts{"-", "-", "-"}), f.Tips(3));
         }
       },
       first},
      {"a list replaced during a file: its report lands on no row",
       [&](Form& f) {
         if (f.window.message_rounds == 1) f.ReplaceList({c, b, a});
       },
       {"-", first[1], first[0]}},
  };
  // Each on the list {a, b, c} as the run before left it: a list changed
  // before the run would clear the rows by itself.
  for (const auto& run : cases) {
    form.window.message_rounds = 0;
    form.window.on_messages = [&](RecordingWindow&) { run.on_messages(form); };
    form.PressDecode();
    EXPECT_EQ(run.want_tips, form.Tips(3)) << run.what;
  }
}

TEST(DecodeRuns, OutsideARunTheWindowClosesAtOnceAndBoxesShow) {
  Form form;
  EXPECT_TRUE(form.runs.AskToClose());
  form.PressDecode();
  form.runs.ShowError("Cannot open x");
  EXPECT_EQ(
      (Texts{"box: Sorry, no files selected.", "error box: Cannot open x."}),
      form.window.shown)
      << "closing is the front end's job when no run waits";
}

}  // namespace
}  // namespace velkrane
