#pragma once

#include <string>

namespace velkrane {

/// What the batch run needs from the main window.
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
};

/// `entry` without leading and trailing bytes at or below the space.
std::string TrimEntry(const std::string& entry);

/// The "PostProcessed" folder beside `entry`, ending in a separator.
std::string OutputFolderFor(const std::string& entry);

/// One press of "Decode": trims every entry, writes its trimmed copy into the
/// "PostProcessed" folder beside it and reports progress and a summary. A
/// file's own failure shows in the status text and the run goes on; an entry
/// that vanished from the list mid-run throws velkrane::Error and ends it.
void RunBatch(BatchWindow& window);

}  // namespace velkrane
