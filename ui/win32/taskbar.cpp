#include "ui/win32/taskbar.h"

#include <objbase.h>
#include <shobjidl.h>

#include <utility>

namespace velkrane {

namespace {

struct ComRelease {
  void operator()(IUnknown* object) const noexcept { object->Release(); }
};

// This thread's membership of a COM apartment, left again at scope exit if
// it was joined here.
class ComApartment {
 public:
  ComApartment()
      : joined_(
            SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComApartment() {
    if (joined_) ::CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool joined_;
};

class ComTaskbarButton : public TaskbarButton {
 public:
  ComTaskbarButton(HWND window, std::unique_ptr<ComApartment> apartment,
                   std::unique_ptr<ITaskbarList3, ComRelease> list)
      : window_(window),
        apartment_(std::move(apartment)),
        list_(std::move(list)) {}

  // The results are not looked at: a taskbar that cannot show progress
  // (no button yet, Explorer restarting) changes nothing for the run.
  void SetState(State state) override {
    const TBPFLAG flags[] = {TBPF_NOPROGRESS, TBPF_NORMAL, TBPF_ERROR};
    list_->SetProgressState(window_, flags[static_cast<int>(state)]);
  }
  void SetProgress(int done, int total) override {
    list_->SetProgressValue(window_, static_cast<ULONGLONG>(done),
                            static_cast<ULONGLONG>(total));
  }

 private:
  HWND window_;
  // Declared before the list: the list is released first.
  std::unique_ptr<ComApartment> apartment_;
  std::unique_ptr<ITaskbarList3, ComRelease> list_;
};

}  // namespace

std::unique_ptr<TaskbarButton> SystemTaskbarButton(HWND window) {
  auto apartment = std::make_unique<ComApartment>();
  ITaskbarList3* created = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_TaskbarList, nullptr,
                                CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&created)))) {
    return nullptr;
  }
  std::unique_ptr<ITaskbarList3, ComRelease> list(created);
  if (FAILED(list->HrInit())) return nullptr;
  return std::make_unique<ComTaskbarButton>(window, std::move(apartment),
                                            std::move(list));
}

void TaskbarProgress::RunStarting(int count) {
  runs_.push_back(Run{count});
  if (!button_) return;
  SetState(TaskbarButton::State::kNormal);
  button_->SetProgress(0, count);
}

void TaskbarProgress::FileDone(bool failed) {
  if (runs_.empty()) return;
  Run& run = runs_.back();
  ++run.done;
  run.failed = run.failed || failed;
  if (!button_) return;
  // After a nested run the button shows nothing; this run's state returns.
  SetState(run.failed ? TaskbarButton::State::kError
                      : TaskbarButton::State::kNormal);
  button_->SetProgress(run.done, run.count);
}

void TaskbarProgress::AllFilesDone() {
  if (runs_.empty()) return;
  runs_.back().cleared = true;
  SetState(TaskbarButton::State::kNone);
}

void TaskbarProgress::RunEnded() {
  if (runs_.empty()) return;
  if (!runs_.back().cleared) SetState(TaskbarButton::State::kNone);
  runs_.pop_back();
}

void TaskbarProgress::SetState(TaskbarButton::State state) {
  if (!button_ || state == state_) return;
  state_ = state;
  button_->SetState(state);
}

}  // namespace velkrane
