#include "ui/shared/decode_runs.h"

#include <utility>

namespace velkrane {

/// The window as a run sees it: all passed on, except the boxes once a close
/// was asked for; input is held while the window waits for a file's work,
/// and each report lands on the list its entry was read from.
class DecodeRuns::RunWindow : public BatchWindow {
 public:
  RunWindow(DecodeRuns& runs, BatchWindow& window)
      : runs_(runs), window_(window), rows_(runs.outcomes_) {}

  int EntryCount() const override { return window_.EntryCount(); }
  std::string Entry(int index) const override {
    std::string entry = window_.Entry(index);
    rows_.Read(index);
    return entry;
  }
  void SetStatusText(const std::string& text) override {
    window_.SetStatusText(text);
  }
  void ProcessMessages() override {
    // What came during the file first: it came before what is queued now.
    runs_.input_.RunHeld();
    window_.ProcessMessages();
  }
  void ShowMessage(const std::string& text) override {
    if (runs_.close_.BoxesShown()) window_.ShowMessage(text);
  }
  void WaitFor(const WaitForWork& wait) override {
    const HeldInput::Waiting waiting(runs_.input_);
    window_.WaitFor(wait);
  }
  bool InputHeld() const override { return runs_.input_.Held(); }
  void RunStarting(int count) override {
    rows_.Starting();
    window_.RunStarting(count);
  }
  void FileDone(int index, const FileReport& report) override {
    rows_.Done(index, report);
    window_.FileDone(index, report);
  }
  void AllFilesDone() override { window_.AllFilesDone(); }
  void RunEnded() override { window_.RunEnded(); }

 private:
  DecodeRuns& runs_;
  BatchWindow& window_;
  mutable RunRows rows_;
};

DecodeRuns::DecodeRuns(std::function<void()> close_window,
                       std::function<void(const std::string&)> show_error_box)
    : close_(std::move(close_window), std::move(show_error_box)),
      input_([this](const std::string& message) { ShowError(message); }) {}

void DecodeRuns::Decode(BatchWindow& window) {
  const CloseAfterRuns::Running running(close_);
  RunWindow run_window(*this, window);
  RunBatch(run_window);
}

}  // namespace velkrane
