#pragma once

// A copy made slow on purpose, without timing anything: the thread that
// writes it waits before its first byte until the test lets it go.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "fileio/path_parts.h"
#include "x3f/repair.h"

namespace velkrane::testing {

/// While it lives, the copy of the file named `name` waits, on the thread
/// that writes it, until Release(); `arrived` runs on that thread first.
/// After a minute it goes on by itself, so that a window that never answers
/// fails its test instead of hanging it.
class HeldCopy {
 public:
  HeldCopy(std::string name, std::function<void()> arrived)
      : name_(std::move(name)), arrived_(std::move(arrived)) {
    current_ = this;
    SetBeforeCopyForTesting(&HeldCopy::Hook);
  }
  ~HeldCopy() {
    Release();
    SetBeforeCopyForTesting(nullptr);
    current_ = nullptr;
  }
  HeldCopy(const HeldCopy&) = delete;
  HeldCopy& operator=(const HeldCopy&) = delete;

  void Release() {
    const std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }
  /// The names of the copies begun while it lived, held or not.
  std::vector<std::string> Begun() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return begun_;
  }
  /// False when the copy went on by itself.
  bool ReleasedByTheTest() const { return !gave_up_; }

 private:
  static void Hook(const std::string& source) {
    HeldCopy* self = current_;
    if (!self) return;
    {
      const std::lock_guard<std::mutex> lock(self->mutex_);
      self->begun_.push_back(FileNamePart(source));
    }
    if (FileNamePart(source) != self->name_) return;
    self->arrived_();
    std::unique_lock<std::mutex> lock(self->mutex_);
    self->gave_up_ = !self->changed_.wait_for(
        lock, std::chrono::minutes(1), [self] { return self->released_; });
  }

  static inline std::atomic<HeldCopy*> current_{nullptr};
  std::string name_;
  std::function<void()> arrived_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> begun_;
  bool released_ = false;
  std::atomic<bool> gave_up_{false};
};

}  // namespace velkrane::testing
