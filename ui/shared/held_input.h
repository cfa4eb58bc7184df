#pragma once

// Input that comes while the window waits for a file's work (a press, a
// drop) is held back and runs at the run's next ProcessMessages, in the
// order it came: a run then sees its list change, and nested runs start,
// only between files, as it always has.

#include <deque>
#include <functional>
#include <string>

namespace velkrane {

class HeldInput {
 public:
  /// `show_error` shows what a handler throws.
  explicit HeldInput(std::function<void(const std::string&)> show_error);

  /// While one lives the window waits for a file's work: input is held.
  class Waiting {
   public:
    explicit Waiting(HeldInput& input) : input_(input) { ++input_.waiting_; }
    ~Waiting() { --input_.waiting_; }
    Waiting(const Waiting&) = delete;
    Waiting& operator=(const Waiting&) = delete;

   private:
    HeldInput& input_;
  };

  /// Runs `handler` now, or once no file's work is waited for.
  void Input(std::function<void()> handler);
  /// Runs the input held back, unless a file's work is waited for again.
  void RunHeld();
  /// True while input waits to run.
  bool Held() const { return !held_.empty(); }

 private:
  std::function<void(const std::string&)> show_error_;
  int waiting_ = 0;
  std::deque<std::function<void()>> held_;
};

}  // namespace velkrane
