#pragma once

// The progress of Decode on the window's taskbar button (Windows 7 and
// later): files done of the list's count, red from the first failure on,
// none once the run is over. ITaskbarList3 sits behind TaskbarButton so that
// the window tests can record the calls; where the interface is missing
// (Windows before 7, or a Wine without it) there is no button and nothing
// is called.

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

namespace velkrane {

/// What the window asks of its taskbar button.
class TaskbarButton {
 public:
  enum class State { kNone, kNormal, kError };
  virtual ~TaskbarButton() = default;
  virtual void SetState(State state) = 0;
  virtual void SetProgress(int done, int total) = 0;
};

/// The taskbar button of `window`, through ITaskbarList3; null where the
/// system has no such interface.
std::unique_ptr<TaskbarButton> SystemTaskbarButton(HWND window);

/// How the window gets its button (the tests pass a recording one).
using TaskbarFunction = std::function<std::unique_ptr<TaskbarButton>(HWND)>;

/// Turns the runs' progress into calls on a button, runs nested in each
/// other included; without a button it does nothing.
class TaskbarProgress {
 public:
  explicit TaskbarProgress(std::unique_ptr<TaskbarButton> button = nullptr)
      : button_(std::move(button)) {}

  void RunStarting(int count);
  void FileDone(bool failed);
  /// "Ready.": the progress goes.
  void AllFilesDone();
  /// Also when the run ended by an error.
  void RunEnded();

 private:
  struct Run {
    int count = 0;
    int done = 0;
    bool failed = false;
    bool cleared = false;
  };
  void SetState(TaskbarButton::State state);

  std::unique_ptr<TaskbarButton> button_;
  std::vector<Run> runs_;
  TaskbarButton::State state_ = TaskbarButton::State::kNone;
};

}  // namespace velkrane
