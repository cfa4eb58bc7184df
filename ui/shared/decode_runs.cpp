#include "ui/shared/decode_runs.h"

#include <utility>

#include "ui/shared/main_form_texts.h"

namespace velkrane {

namespace {

/// The window as the run sees it: all passed on, except the boxes once a
/// close was asked for, since the user has already sent the window away.
class QuietWhenClosing : public BatchWindow {
 public:
  QuietWhenClosing(BatchWindow& window, const bool& closing)
      : window_(window), closing_(closing) {}

  int EntryCount() const override { return window_.EntryCount(); }
  std::string Entry(int index) const override { return window_.Entry(index); }
  void SetStatusText(const std::string& text) override {
    window_.SetStatusText(text);
  }
  void ProcessMessages() override { window_.ProcessMessages(); }
  void ShowMessage(const std::string& text) override {
    if (!closing_) window_.ShowMessage(text);
  }

 private:
  BatchWindow& window_;
  const bool& closing_;
};

}  // namespace

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
  QuietWhenClosing quiet(window, close_asked_);
  RunBatch(quiet);
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

}  // namespace velkrane
