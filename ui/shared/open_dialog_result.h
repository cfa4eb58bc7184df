#pragma once

// The open-file dialog's data in toolkit-free form: the filter as the dialog
// takes it and the selection as it hands it back. No windows.h here, so the
// Linux tests check the same code the Windows build runs.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace velkrane {

/// kOpenFilter as "description\0pattern\0...\0\0": every entry and the list
/// itself end in a null character.
std::string NullSeparatedFilter();

/// The selection in a multi-select result buffer, as full paths in the order
/// the dialog gave them. The buffer holds either one full path, or the folder
/// followed by the file names, each ended by a null character, the whole ended
/// by a second null. Nothing past `size` characters is read; a result that is
/// not ended within it yields no paths.
template <typename Char>
std::vector<std::basic_string<Char>> SplitOpenDialogResult(const Char* buffer,
                                                           std::size_t size);

extern template std::vector<std::string> SplitOpenDialogResult<char>(
    const char*, std::size_t);
extern template std::vector<std::wstring> SplitOpenDialogResult<wchar_t>(
    const wchar_t*, std::size_t);

/// Where a chooser that handed back `paths` must open again, or nothing when
/// they all name existing files, which may then be listed. GTK's chooser
/// hands back whatever its location bar holds, names that do not exist
/// included: for the first path that is no file, a folder opens in itself,
/// any other name in the folder it is in.
std::optional<std::string> ChooserReopenFolder(
    const std::vector<std::string>& paths);

}  // namespace velkrane
