#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "fileio/error.h"
#include "fileio/file_io.h"
#include "fileio/file_io_platform.h"
#include "fileio/path_parts.h"
#include "fileio/win32_text.h"

namespace velkrane {

const char kPathSeparator = '\\';
const bool kFileNamesIgnoreCase = true;

bool IsPathSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

void FileHandle::Reset(std::intptr_t handle) noexcept {
  if (Valid()) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = handle;
}

bool FolderExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace platform {
namespace {

// One ReadFile or WriteFile moves at most this much.
constexpr std::size_t kMaxTransfer = 1u << 30;

HANDLE Handle(const FileHandle& file) {
  return reinterpret_cast<HANDLE>(file.Get());
}

FileHandle Owned(HANDLE handle) {
  return FileHandle(reinterpret_cast<std::intptr_t>(handle));
}

OVERLAPPED At(std::int64_t offset) {
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset));
  at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
  return at;
}

// A new folder's entry is on the disk once its parent folder is. Flushing a
// folder takes a handle with write access; FILE_ADD_SUBDIRECTORY is the one
// that whoever just made the folder is sure to have.
void FlushParentFolderOf(const std::string& path) {
  const std::string parent = DirectoryPart(path);
  const std::wstring wide = WidePath(parent.empty() ? "." : parent);
  const FileHandle folder = Owned(::CreateFileW(
      wide.c_str(), FILE_ADD_SUBDIRECTORY,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!folder.Valid() || !::FlushFileBuffers(Handle(folder))) {
    ThrowSystemError(kCannotCreateFolder, path, ::GetLastError());
  }
}

}  // namespace

const SystemError kNameTaken = ERROR_FILE_EXISTS;
// Large blocks: each ReadFile/WriteFile pair is a round trip to the kernel.
const std::size_t kCopyBlockSize = 1024 * 1024;

std::string SystemErrorText(SystemError error) { return SystemMessage(error); }

SystemError LastSystemError() noexcept { return ::GetLastError(); }

OpenedFile OpenForReading(const std::string& path) {
  const std::wstring wide = WidePath(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return {};
  }
  // No sharing: while we hold the source, no other program can change it, and
  // one that already holds it open makes this open fail.
  FileHandle file =
      Owned(::CreateFileW(wide.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) ThrowSystemError(kCannotOpen, path, ::GetLastError());
  if (::GetFileType(Handle(file)) != FILE_TYPE_DISK) return {};
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(Handle(file), &size)) {
    ThrowSystemError(kCannotOpen, path, ::GetLastError());
  }
  return {std::move(file), size.QuadPart};
}

FileHandle CreateNewFile(const std::string& path, const std::string& target) {
  const std::wstring wide = WidePath(path);
  FileHandle file =
      Owned(::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      ThrowSystemError(kCannotCreate, target, error);
    }
  }
  return file;
}

std::int64_t ReadAt(const FileHandle& file, std::int64_t offset, void* data,
                    std::size_t size) noexcept {
  DWORD got = 0;
  OVERLAPPED at = At(offset);
  if (!::ReadFile(Handle(file), data,
                  static_cast<DWORD>(std::min(size, kMaxTransfer)), &got,
                  &at)) {
    return -1;
  }
  return got;
}

std::int64_t WriteAt(const FileHandle& file, std::int64_t offset,
                     const void* data, std::size_t size) noexcept {
  DWORD put = 0;
  OVERLAPPED at = At(offset);
  if (!::WriteFile(Handle(file), data,
                   static_cast<DWORD>(std::min(size, kMaxTransfer)), &put,
                   &at)) {
    return -1;
  }
  return put;
}

std::int64_t SizeOf(const FileHandle& file) noexcept {
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(Handle(file), &size)) return -1;
  return size.QuadPart;
}

// Windows has no copy between two open handles; 1 MiB blocks through this
// process keep up with the disk.
std::int64_t CopyInKernel(const FileHandle&, const FileHandle&, std::int64_t) {
  return 0;
}

FileHandle OpenToIdentify(const std::string& path) {
  return Owned(::CreateFileW(
      WidePath(path).c_str(), 0,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

std::optional<FileIdentity> IdentityOfOpen(const FileHandle& file) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(Handle(file), &info)) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) |
                          info.nFileIndexLow};
}

bool FlushToDisk(const FileHandle& file) noexcept {
  return ::FlushFileBuffers(Handle(file)) != 0;
}

bool CloseFile(FileHandle& file) noexcept {
  return ::CloseHandle(reinterpret_cast<HANDLE>(file.Release())) != 0;
}

bool MoveOver(const std::string& from, const std::string& to, bool replace) {
  const std::wstring wide_from = WidePath(from);
  const std::wstring wide_to = WidePath(to);
  // MoveFileExW replaces the target in one step (without the flag it refuses
  // an existing one); the handle-based rename is missing under Wine.
  // Write-through: it returns once the move is on the disk.
  const DWORD flags =
      MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : DWORD{0});
  if (!::MoveFileExW(wide_from.c_str(), wide_to.c_str(), flags)) {
    ThrowSystemError(kCannotWrite, to, ::GetLastError());
  }
  return true;
}

bool SetSize(const FileHandle& file, std::int64_t length) noexcept {
  LARGE_INTEGER position;
  position.QuadPart = length;
  return ::SetFilePointerEx(Handle(file), position, nullptr, FILE_BEGIN) &&
         ::SetEndOfFile(Handle(file));
}

bool SetModificationTime(const FileHandle& file,
                         std::int64_t seconds) noexcept {
  // FILETIME counts 100 ns steps from 1601.
  constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
  const auto ticks =
      static_cast<std::uint64_t>(seconds + kSecondsFrom1601To1970) * 10000000u;
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks);
  time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return ::SetFileTime(Handle(file), nullptr, nullptr, &time) != 0;
}

MakeFolderResult MakeFolder(const std::string& path) {
  const std::wstring wide = WidePath(path);
  if (!::CreateDirectoryW(wide.c_str(), nullptr)) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_PATH_NOT_FOUND) return MakeFolderResult::kParentMissing;
    if (error == ERROR_ALREADY_EXISTS && FolderExists(path)) {
      return MakeFolderResult::kCreated;
    }
    ThrowSystemError(kCannotCreateFolder, path, error);
  }
  FlushParentFolderOf(path);
  return MakeFolderResult::kCreated;
}

void RemoveFileQuietly(const std::string& path) noexcept {
  try {
    ::DeleteFileW(WidePath(path).c_str());
  } catch (...) {
    // Clean-up only: a path that cannot even be converted was never created.
  }
}

void RemoveEmptyFolderQuietly(const std::string& path) noexcept {
  try {
    ::RemoveDirectoryW(WidePath(path).c_str());
  } catch (...) {
    // As above.
  }
}

}  // namespace platform

namespace {

// What one listing call asks for at most: a large fetch, as few round trips
// to the kernel as a big folder allows.
constexpr std::size_t kListingBytes = 64 * 1024;

// One listing entry's name, which is not null-terminated.
std::wstring NameOf(const FILE_ID_BOTH_DIR_INFO& entry) {
  return std::wstring(entry.FileName, entry.FileNameLength / sizeof(wchar_t));
}

EntryKind KindOfEntry(const std::string& path, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::kFolder;
  // A link to a file: it counts only if it leads somewhere.
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
      !platform::OpenToIdentify(path).Valid()) {
    return EntryKind::kOther;
  }
  return EntryKind::kFile;
}

}  // namespace

std::vector<FolderEntry> ListFolder(const std::string& path) {
  const std::string folder = WithTrailingSeparator(path);
  const FileHandle listing = platform::Owned(::CreateFileW(
      WidePath(path).c_str(), FILE_LIST_DIRECTORY,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!listing.Valid()) {
    platform::ThrowSystemError(platform::kCannotOpenFolder, path,
                               ::GetLastError());
  }
  // Listed through the folder's own handle, so one owner closes it.
  // FileIdBothDirectoryInfo is the listing that Windows 7 already has; 8-byte
  // units, since the entries hold 64-bit fields.
  std::vector<std::uint64_t> buffer(kListingBytes / sizeof(std::uint64_t));
  std::vector<FolderEntry> entries;
  while (::GetFileInformationByHandleEx(
      platform::Handle(listing), FileIdBothDirectoryInfo, buffer.data(),
      static_cast<DWORD>(buffer.size() * sizeof(std::uint64_t)))) {
    const auto* at = reinterpret_cast<const unsigned char*>(buffer.data());
    for (;;) {
      const auto& entry = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
      const std::wstring name = NameOf(entry);
      if (name != L"." && name != L"..") {
        std::string narrow = Narrow(name);
        const EntryKind kind =
            KindOfEntry(folder + narrow, entry.FileAttributes);
        entries.push_back({std::move(narrow), kind});
      }
      if (entry.NextEntryOffset == 0) break;
      at += entry.NextEntryOffset;
    }
  }
  const DWORD error = ::GetLastError();
  // The end of the listing; a drive's empty root has no entries at all.
  if (error != ERROR_NO_MORE_FILES && error != ERROR_FILE_NOT_FOUND) {
    platform::ThrowSystemError(platform::kCannotOpenFolder, path, error);
  }
  return entries;
}

EntryKind KindOf(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return EntryKind::kOther;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::kFolder;
  return EntryKind::kFile;
}

}  // namespace velkrane
