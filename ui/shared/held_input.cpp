#include "ui/shared/held_input.h"

#include <exception>
#include <utility>

namespace velkrane {

HeldInput::HeldInput(std::function<void(const std::string&)> show_error)
    : show_error_(std::move(show_error)) {}

void HeldInput::Input(std::function<void()> handler) {
  // Queued even when it can run now, behind anything a run that ended by an
  // error left held.
  held_.push_back(std::move(handler));
  RunHeld();
}

void HeldInput::RunHeld() {
  while (waiting_ == 0 && !held_.empty()) {
    const std::function<void()> handler = std::move(held_.front());
    held_.pop_front();
    try {
      handler();
    } catch (const std::exception& e) {
      show_error_(e.what());
    }
  }
}

}  // namespace velkrane
