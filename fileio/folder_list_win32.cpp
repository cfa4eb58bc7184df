#include <windows.h>

#include <utility>

#include "fileio/error.h"
#include "fileio/folder_list.h"
#include "fileio/path_parts.h"
#include "fileio/win32_text.h"

namespace velkrane {

const bool kFileNamesIgnoreCase = true;

namespace {

[[noreturn]] void ThrowFolderError(const std::string& path, DWORD error) {
  throw Error("Cannot open folder " + path + ": " + SystemMessage(error));
}

/// A search handle from FindFirstFileExW, closed with FindClose.
class FindHandle {
 public:
  explicit FindHandle(HANDLE h) noexcept : h_(h) {}
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  ~FindHandle() {
    if (valid()) ::FindClose(h_);
  }
  HANDLE get() const noexcept { return h_; }
  bool valid() const noexcept { return h_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE h_;
};

/// Opens what `path` leads to, links followed, asking for no access so that
/// a file held open by another program still answers.
HANDLE OpenForIdentity(const std::string& path) {
  return ::CreateFileW(WidePath(path).c_str(), 0,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

std::vector<FolderEntry> ListFolder(const std::string& path) {
  const std::string folder = WithTrailingSeparator(path);
  WIN32_FIND_DATAW data;
  // The basic level skips the short 8.3 names, which are never used here.
  const FindHandle find(::FindFirstFileExW(WidePath(folder + "*").c_str(),
                                           FindExInfoBasic, &data, FindExSearchNameMatch,
                                           nullptr, FIND_FIRST_EX_LARGE_FETCH));
  std::vector<FolderEntry> entries;
  if (!find.valid()) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return entries;
    ThrowFolderError(path, error);
  }
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    FolderEntry found{Narrow(name), EntryKind::kFile};
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      found.kind = EntryKind::kFolder;
    } else if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      // A link to a file: it counts only if it leads somewhere.
      const HANDLE target = OpenForIdentity(folder + found.name);
      if (target == INVALID_HANDLE_VALUE) {
        found.kind = EntryKind::kOther;
      } else {
        ::CloseHandle(target);
      }
    }
    entries.push_back(std::move(found));
  } while (::FindNextFileW(find.get(), &data));
  const DWORD error = ::GetLastError();
  if (error != ERROR_NO_MORE_FILES) ThrowFolderError(path, error);
  return entries;
}

EntryKind KindOf(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return EntryKind::kOther;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::kFolder;
  return EntryKind::kFile;
}

FileIdentity IdentityOf(const std::string& path) {
  const HANDLE file = OpenForIdentity(path);
  if (file == INVALID_HANDLE_VALUE) ThrowFolderError(path, ::GetLastError());
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = ::GetFileInformationByHandle(file, &info) != 0;
  const DWORD error = ::GetLastError();
  ::CloseHandle(file);
  if (!ok) ThrowFolderError(path, error);
  return {info.dwVolumeSerialNumber,
          (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

}  // namespace velkrane
