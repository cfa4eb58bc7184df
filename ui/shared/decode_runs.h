#pragma once

// What both main windows do around "Decode", from three parts: a close asked
// for during a run waits for the outermost run (CloseAfterRuns), input that
// comes while a file's work is waited for is held back (HeldInput), and each
// list row keeps what became of its file (ListOutcomes).

#include <functional>
#include <string>

#include "batch/batch_run.h"
#include "ui/shared/close_after_runs.h"
#include "ui/shared/held_input.h"
#include "ui/shared/list_outcomes.h"

namespace velkrane {

/// How long a window waits for a file's work before it looks at its
/// messages again: well under the 100 ms in which it should answer.
constexpr int kWaitSliceMs = 20;

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
  bool AskToClose() { return close_.AskToClose(); }

  /// The general error box for `message`, with ErrorBoxText's period; none
  /// once a close was asked for during a run.
  void ShowError(const std::string& message) noexcept {
    close_.ShowError(message);
  }

  /// Runs `handler`, what a press or a drop does, and shows what it throws
  /// in the error box. While the window waits for a file's work it is held
  /// back instead and runs at the run's next ProcessMessages.
  void Input(std::function<void()> handler) {
    input_.Input(std::move(handler));
  }

  /// The window's list was replaced or emptied.
  void ListChanged() { outcomes_.ListChanged(); }
  /// What became of the file in list row `row` in the latest run that got
  /// to it; null when nothing did, or the list changed since.
  const RowOutcome* Outcome(int row) const { return outcomes_.At(row); }

 private:
  class RunWindow;

  CloseAfterRuns close_;
  HeldInput input_;
  ListOutcomes outcomes_;
};

}  // namespace velkrane
