#include "ui/shared/open_dialog_result.h"

#include "fileio/file_io.h"
#include "fileio/path_parts.h"
#include "ui/shared/main_form_texts.h"

namespace velkrane {

std::string NullSeparatedFilter() {
  std::string filter;
  for (const FilterEntry& entry : kOpenFilter) {
    filter += entry.description;
    filter += '\0';
    filter += entry.pattern;
    filter += '\0';
  }
  filter += '\0';
  return filter;
}

template <typename Char>
std::vector<std::basic_string<Char>> SplitOpenDialogResult(const Char* buffer,
                                                           std::size_t size) {
  using String = std::basic_string<Char>;
  std::vector<String> parts;
  std::size_t at = 0;
  for (;;) {
    std::size_t end = at;
    while (end < size && buffer[end] != Char(0)) ++end;
    // Cut off by the buffer's end: the selection is incomplete, so take none
    // of it rather than a path that names some other file.
    if (end == size) return {};
    if (end == at) break;
    parts.emplace_back(buffer + at, end - at);
    at = end + 1;
  }
  if (parts.size() < 2) return parts;

  String folder = parts.front();
  // The folder ends in a separator only when it is a drive's root.
  if (folder.back() != Char('\\') && folder.back() != Char('/')) {
    folder += Char('\\');
  }
  std::vector<String> paths;
  paths.reserve(parts.size() - 1);
  for (std::size_t i = 1; i < parts.size(); ++i)
    paths.push_back(folder + parts[i]);
  return paths;
}

std::optional<std::string> ChooserReopenFolder(
    const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    switch (KindOf(path)) {
      case EntryKind::kFile:
        break;
      case EntryKind::kFolder:
        return path;
      case EntryKind::kOther:
        return DirectoryPart(path);
    }
  }
  return std::nullopt;
}

template std::vector<std::string> SplitOpenDialogResult<char>(const char*,
                                                              std::size_t);
template std::vector<std::wstring> SplitOpenDialogResult<wchar_t>(
    const wchar_t*, std::size_t);

}  // namespace velkrane
