#include "ui/shared/decode_runs.h"

#include <exception>
#include <map>
#include <utility>

#include "ui/shared/main_form_texts.h"

namespace velkrane {

/// The window as a run sees it: all passed on, except the boxes once a close
/// was asked for, since the user has already sent the window away. It also
/// holds input back while the window waits for a file's work, and remembers
/// which list each entry was read from, so that a report lands only on it.
class DecodeRuns::RunWindow : public BatchWindow {
 public:
  RunWindow(DecodeRuns& runs, BatchWindow& window)
      : runs_(runs), window_(window) {}

  int EntryCount() const override { return window_.EntryCount(); }
  std::string Entry(int index) const override {
    std::string entry = window_.Entry(index);
    read_in_[index] = runs_.outcomes_.Generation();
    return entry;
  }
  void SetStatusText(const std::string& text) override {
    window_.SetStatusText(text);
  }
  void ProcessMessages() override {
    // What came during the file first: it came before what is queued now.
    runs_.RunHeldInput();
    window_.ProcessMessages();
  }
  void ShowMessage(const std::string& text) override {
    if (!runs_.close_asked_) window_.ShowMessage(text);
  }
  void WaitFor(const WaitForWork& wait) override {
    struct Waiting {
      int& count;
      explicit Waiting(int& c) : count(c) { ++count; }
      ~Waiting() { --count; }
    } waiting(runs_.waiting_);
    window_.WaitFor(wait);
  }
  bool InputHeld() const override { return !runs_.held_.empty(); }
  void RunStarting(int count) override {
    runs_.outcomes_.Clear();
    window_.RunStarting(count);
  }
  void FileDone(int index, const FileReport& report) override {
    const auto read = read_in_.find(index);
    if (read != read_in_.end()) {
      runs_.outcomes_.Record(index, read->second, report);
    }
    window_.FileDone(index, report);
  }
  void AllFilesDone() override { window_.AllFilesDone(); }
  void RunEnded() override { window_.RunEnded(); }

 private:
  DecodeRuns& runs_;
  BatchWindow& window_;
  /// The list generation each entry was last read in.
  mutable std::map<int, unsigned> read_in_;
};

DecodeRuns::DecodeRuns(std::function<void()> close_window,
                       std::function<void(const std::string&)> show_error_box)
    : close_window_(std::move(close_window)),
      show_error_box_(std::move(show_error_box)) {}

void DecodeRuns::Decode(BatchWindow& window) {
  struct Depth {
    DecodeRuns& runs;
    explicit Depth(DecodeRuns& r) : runs(r) { ++runs.depth_; }
    ~Depth() {
      // The flag stays: an error that ended the run still reaches
      // ShowError after this.
      if (--runs.depth_ == 0 && runs.close_asked_) runs.close_window_();
    }
  } depth(*this);
  RunWindow run_window(*this, window);
  RunBatch(run_window);
}

bool DecodeRuns::AskToClose() {
  if (depth_ == 0) return true;
  close_asked_ = true;
  return false;
}

void DecodeRuns::ShowError(const std::string& message) noexcept {
  if (close_asked_) return;
  try {
    show_error_box_(ErrorBoxText(message));
  } catch (...) {
    // Out of memory for the text: nothing left to show it with.
  }
}

void DecodeRuns::Input(std::function<void()> handler) {
  // Queued even when it can run now, behind anything a run that ended by an
  // error left held.
  held_.push_back(std::move(handler));
  RunHeldInput();
}

void DecodeRuns::RunHeldInput() {
  while (waiting_ == 0 && !held_.empty()) {
    const std::function<void()> handler = std::move(held_.front());
    held_.pop_front();
    Run(handler);
  }
}

void DecodeRuns::Run(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
}

}  // namespace velkrane
