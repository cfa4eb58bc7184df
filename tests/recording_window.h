#pragma once

#include <functional>
#include <string>
#include <vector>

#include "batch/batch_run.h"

namespace velkrane::testing {

// A window that records what the batch run shows, in order; `on_messages`
// replays a button press while the run lets the window process messages.
class RecordingWindow : public BatchWindow {
 public:
  std::vector<std::string> entries;
  std::vector<std::string> shown;  // "status: ..." and "box: ..."
  std::function<void(RecordingWindow&)> on_messages;
  int message_rounds = 0;

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
};

}  // namespace velkrane::testing
