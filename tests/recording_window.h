#pragma once

#include <functional>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "batch/repair_one.h"

namespace velkrane::testing {

// A window that records what the batch run shows, in order; `on_messages`
// replays a button press while the run lets the window process messages,
// `on_wait` one that comes while the window waits for a file's work, which
// it may also wait for itself.
class RecordingWindow : public BatchWindow {
 public:
  std::vector<std::string> entries;
  std::vector<std::string> shown;  // "status: ..." and "box: ..."
  /// The run's other calls: "starting N", "done I", "all done after " and
  /// the last thing shown, "ended".
  std::vector<std::string> events;
  std::function<void(RecordingWindow&)> on_messages;
  std::function<void(RecordingWindow&, const WaitForWork&)> on_wait;
  int message_rounds = 0;
  int wait_rounds = 0;

  int EntryCount() const override { return static_cast<int>(entries.size()); }
  std::string Entry(int index) const override {
    return entries.at(static_cast<std::size_t>(index));
  }
  void SetStatusText(const std::string& text) override {
    shown.push_back("status: " + text);
  }
  void ProcessMessages() override {
    ++message_rounds;
    if (on_messages) on_messages(*this);
  }
  void ShowMessage(const std::string& text) override {
    shown.push_back("box: " + text);
  }
  void WaitFor(const WaitForWork& wait) override {
    ++wait_rounds;
    if (on_wait) on_wait(*this, wait);
    WaitBlocking(wait);
  }
  void RunStarting(int count) override {
    events.push_back("starting " + std::to_string(count));
  }
  void FileDone(int index, const FileReport&) override {
    events.push_back("done " + std::to_string(index));
  }
  void AllFilesDone() override {
    events.push_back("all done after " + (shown.empty() ? "" : shown.back()));
  }
  void RunEnded() override { events.push_back("ended"); }
};

}  // namespace velkrane::testing
