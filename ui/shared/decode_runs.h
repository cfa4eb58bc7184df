#pragma once

// What both main windows do alike around "Decode": a close asked for during
// a run waits until the outermost run is over, and no box opens meanwhile.

#include <functional>
#include <string>

#include "batch/batch_run.h"

namespace velkrane {

class DecodeRuns {
 public:
  /// `close_window` closes the window once a close that waited for the runs
  /// can be carried out; `show_error_box` shows the general error box.
  DecodeRuns(std::function<void()> close_window,
             std::function<void(const std::string&)> show_error_box);

  /// One press of "Decode": RunBatch over `window`. A press during a run
  /// runs nested inside it. Once a close was asked for, the runs go on to
  /// their ends without boxes, and when the outermost one is over, whether
  /// by its end or by an error (which is passed on), the window closes.
  void Decode(BatchWindow& window);

  /// The user asks to close the window: true when it may close now; during
  /// a run false, and the close follows the run.
  bool AskToClose();

  /// The general error box for `message`, with ErrorBoxText's period; none
  /// once a close was asked for during a run.
  void ShowError(const std::string& message) noexcept;

 private:
  std::function<void()> close_window_;
  std::function<void(const std::string&)> show_error_box_;
  /// Decode runs in progress, nested ones included.
  int depth_ = 0;
  /// A close came in during a run: no more boxes.
  bool close_asked_ = false;
};

}  // namespace velkrane
