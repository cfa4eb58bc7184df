#include "ui/shared/decode_runs.h"

#include <gtest/gtest.h>

#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "fileio/file_io.h"
#include "recording_window.h"
#include "test_util.h"

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
      {"no close: the boxes show", [](Form&) {},
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
       {processing("a.X3F"),
        processing("a.X3F"), saved("a.X3F"), processing("b.X3F"),
        saved("b.X3F"), processing("c.X3F"), saved("c.X3F"), "status: Ready.",
        saved("a.X3F"), processing("b.X3F"), saved("b.X3F"),
        processing("c.X3F"), saved("c.X3F"), "status: Ready.", "closed"},
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

TEST(DecodeRuns, OutsideARunTheWindowClosesAtOnceAndBoxesShow) {
  Form form;
  EXPECT_TRUE(form.runs.AskToClose());
  form.PressDecode();
  form.runs.ShowError("Cannot open x");
  EXPECT_EQ((Texts{"box: Sorry, no files selected.",
                   "error box: Cannot open x."}),
            form.window.shown)
      << "closing is the front end's job when no run waits";
}

}  // namespace
}  // namespace velkrane
