#pragma once

// The open-file dialog and the message boxes of the main window, behind an
// interface so that tests can answer them without a person at the screen.

#include <optional>
#include <string>
#include <vector>

namespace velkrane {

class MainFormDialogs {
 public:
  virtual ~MainFormDialogs() = default;
  /// Runs the open-file dialog in `folder` (relative to the current folder,
  /// so empty is the current folder itself): the chosen files' full paths in
  /// the order the dialog gives them, or nothing when the user cancels.
  virtual std::optional<std::vector<std::string>> ChooseFiles(
      const std::string& folder) = 0;
  /// A modal box without an icon; returns once it is closed.
  virtual void ShowMessage(const std::string& text) = 0;
  /// The general error box, with a stop icon; returns once it is closed.
  virtual void ShowError(const std::string& text) = 0;
};

/// The real dialogs: the desktop's file chooser and our message box.
class FltkDialogs : public MainFormDialogs {
 public:
  std::optional<std::vector<std::string>> ChooseFiles(
      const std::string& folder) override;
  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
};

}  // namespace velkrane
