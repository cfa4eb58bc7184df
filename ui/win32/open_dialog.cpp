#include "ui/win32/open_dialog.h"

#include <windows.h>

#include <cderr.h>
#include <commdlg.h>

#include "fileio/error.h"
#include "fileio/win32_text.h"
#include "ui/shared/main_form_layout.h"
#include "ui/shared/open_dialog_result.h"

namespace velkrane {

namespace {

const char kOpenDialogFailed[] = "The open-file dialog failed with code ";

// Room behind the open-file dialog's buffer for a dialog that overruns it.
constexpr std::size_t kOverrunGuardChars = 16 * kOpenBufferChars;

}  // namespace

std::optional<std::vector<std::string>> RunOpenDialog(HWND owner) {
  const std::wstring filter = Widen(NullSeparatedFilter());
  // Wine's dialog copies a multi-selection past nMaxFile instead of refusing
  // it; the guard keeps such a copy inside our buffer, and a result that is
  // not ended within nMaxFile is refused below, as Windows refuses it.
  std::vector<wchar_t> buffer(kOpenBufferChars + kOverrunGuardChars, L'\0');
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = kOpenBufferChars;
  dialog.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST |
                 OFN_HIDEREADONLY | OFN_ENABLESIZING;
  if (!::GetOpenFileNameW(&dialog)) {
    const DWORD error = ::CommDlgExtendedError();
    // A cancel and a selection too long for the buffer both keep the list.
    if (error == 0 || error == FNERR_BUFFERTOOSMALL) return std::nullopt;
    throw Error(kOpenDialogFailed + std::to_string(error));
  }
  const auto wide = SplitOpenDialogResult(buffer.data(), kOpenBufferChars);
  if (wide.empty()) return std::nullopt;
  std::vector<std::string> paths;
  paths.reserve(wide.size());
  for (const auto& path : wide) paths.push_back(Narrow(path));
  return paths;
}

}  // namespace velkrane
