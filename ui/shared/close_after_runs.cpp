#include "ui/shared/close_after_runs.h"

#include <utility>

#include "ui/shared/main_form_texts.h"

namespace velkrane {

CloseAfterRuns::CloseAfterRuns(
    std::function<void()> close_window,
    std::function<void(const std::string&)> show_error_box)
    : close_window_(std::move(close_window)),
      show_error_box_(std::move(show_error_box)) {}

CloseAfterRuns::Running::Running(CloseAfterRuns& close) : close_(close) {
  ++close_.depth_;
}

CloseAfterRuns::Running::~Running() {
  // The flag stays: an error that ended the run still reaches ShowError
  // after this.
  if (--close_.depth_ == 0 && close_.close_asked_) close_.close_window_();
}

bool CloseAfterRuns::AskToClose() {
  if (depth_ == 0) return true;
  close_asked_ = true;
  return false;
}

void CloseAfterRuns::ShowError(const std::string& message) noexcept {
  if (close_asked_) return;
  try {
    show_error_box_(ErrorBoxText(message));
  } catch (...) {
    // Out of memory for the text: nothing left to show it with.
  }
}

}  // namespace velkrane
