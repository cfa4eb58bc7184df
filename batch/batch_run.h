#pragma once

#include <functional>
#include <string>

#include "batch/commit_scheduler.h"
#include "batch/output_names.h"
#include "batch/repair_one.h"

namespace velkrane {

/// What the batch run needs from the main window. Every call comes on the
/// thread that called RunBatch; the files' work runs on threads of its own.
class BatchWindow {
 public:
  virtual ~BatchWindow() = default;
  virtual int EntryCount() const = 0;
  /// Only called with 0 <= index < EntryCount().
  virtual std::string Entry(int index) const = 0;
  virtual void SetStatusText(const std::string& text) = 0;
  /// Lets the window repaint and run the handlers of pending input.
  virtual void ProcessMessages() = 0;
  virtual void ShowMessage(const std::string& text) = 0;

  /// Returns once `wait` says the work of a file is done. A window keeps
  /// repainting and answering meanwhile, and holds back input that would run
  /// a handler until the next ProcessMessages, so that everything between
  /// files happens as it always has. By default it just waits.
  virtual void WaitFor(const WaitForWork& wait) { WaitBlocking(wait); }
  /// True while input that came during a file's work waits for the next
  /// ProcessMessages; the run then makes no copy ahead of that file's end.
  virtual bool InputHeld() const { return false; }
  /// A run over `count` list entries begins.
  virtual void RunStarting(int /*count*/) {}
  /// The entry at `index` is done, as `report` says; right after its status
  /// text.
  virtual void FileDone(int /*index*/, const FileReport& /*report*/) {}
  /// Every entry was gone through: right after the "Ready." status text and
  /// before the summary box.
  virtual void AllFilesDone() {}
  /// The run is over, whether it ended normally or by an error.
  virtual void RunEnded() {}
};

/// `entry` without leading and trailing bytes at or below the space.
std::string TrimEntry(const std::string& entry);

/// One press of "Decode": trims every entry, writes its trimmed copy into the
/// "PostProcessed" folder beside it and reports progress and a summary. A
/// file's own failure shows in the status text and the run goes on; an entry
/// that vanished from the list mid-run throws velkrane::Error and ends it.
void RunBatch(BatchWindow& window);

}  // namespace velkrane
