#pragma once

// A close the user asks for during Decode: it waits until the outermost run
// is over, and no box opens meanwhile, since the user has already sent the
// window away.

#include <functional>
#include <string>

namespace velkrane {

class CloseAfterRuns {
 public:
  /// `close_window` closes the window once a close that waited for the runs
  /// can be carried out; `show_error_box` shows the general error box.
  CloseAfterRuns(std::function<void()> close_window,
                 std::function<void(const std::string&)> show_error_box);

  /// While one lives a run is in progress (nested ones included); when the
  /// outermost one ends after a close was asked for, the window closes.
  class Running {
   public:
    explicit Running(CloseAfterRuns& close);
    ~Running();
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

   private:
    CloseAfterRuns& close_;
  };

  /// The user asks to close the window: true when it may close now; during
  /// a run false, and the close follows the run.
  bool AskToClose();
  /// False once a close was asked for during a run: no more boxes.
  bool BoxesShown() const { return !close_asked_; }
  /// The general error box for `message`, with ErrorBoxText's period; none
  /// once a close was asked for during a run.
  void ShowError(const std::string& message) noexcept;

 private:
  std::function<void()> close_window_;
  std::function<void(const std::string&)> show_error_box_;
  int depth_ = 0;
  bool close_asked_ = false;
};

}  // namespace velkrane
