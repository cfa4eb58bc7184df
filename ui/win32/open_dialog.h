#pragma once

// DOpen: the system's open-file dialog, behind a seam the tests replace.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velkrane {

/// What DOpen hands back: the selected full paths in the dialog's order, or
/// nothing when the user cancelled or the selection did not fit the buffer.
using OpenDialogFunction =
    std::function<std::optional<std::vector<std::string>>(HWND owner)>;

/// The system's open-file dialog with our filter and flags.
std::optional<std::vector<std::string>> RunOpenDialog(HWND owner);

}  // namespace velkrane
