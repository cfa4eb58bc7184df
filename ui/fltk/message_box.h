#pragma once

#include <string>

namespace velkrane {

extern const char kOkText[];

enum class BoxIcon { kNone, kStop };

/// A modal box centred on the screen, titled with the application title, the
/// text wrapped at half the screen width and one "OK" button that Enter and
/// Esc press. Runs the event loop until the box is closed.
void ShowMessageBox(const std::string& text, BoxIcon icon);

}  // namespace velkrane
