#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "fileio/error.h"
#include "fileio/file_io.h"
#include "fileio/path_parts.h"
#include "fileio/win32_text.h"

namespace velkrane {

const char kPathSeparator = '\\';

bool IsPathSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

namespace {

// Large blocks: each ReadFile/WriteFile pair is a round trip to the kernel.
constexpr DWORD kCopyBlockSize = 1024 * 1024;

HANDLE Handle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

[[noreturn]] void ThrowSystemError(const std::string& what,
                                   const std::string& path, DWORD error) {
  throw Error(what + " " + path + ": " + SystemMessage(error));
}

OVERLAPPED At(std::int64_t offset) {
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset));
  at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
  return at;
}

void ReadExactly(HANDLE file, std::int64_t offset, void* data, std::size_t size) {
  auto* out = static_cast<unsigned char*>(data);
  while (size > 0) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD got = 0;
    OVERLAPPED at = At(offset);
    if (!::ReadFile(file, out, want, &got, &at) || got == 0) {
      throw Error(kStreamReadError);
    }
    out += got;
    offset += got;
    size -= got;
  }
}

void WriteExactly(HANDLE file, std::int64_t offset, const unsigned char* data,
                  std::size_t size) {
  while (size > 0) {
    DWORD put = 0;
    OVERLAPPED at = At(offset);
    if (!::WriteFile(file, data, static_cast<DWORD>(size), &put, &at) ||
        put == 0) {
      throw Error(kStreamWriteError);
    }
    data += put;
    offset += put;
    size -= put;
  }
}

bool FileIdentity(HANDLE file, BY_HANDLE_FILE_INFORMATION& info) {
  return ::GetFileInformationByHandle(file, &info) != 0;
}

}  // namespace

void CloseFileQuietly(std::intptr_t& handle) noexcept {
  if (handle != kNoFile) ::CloseHandle(Handle(std::exchange(handle, kNoFile)));
}

InputFile::InputFile(const std::string& path) : path_(path), handle_(kNoFile) {
  const std::wstring wide = WidePath(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    throw Error("Cannot open " + path + ": not a regular file");
  }
  // No sharing: while we hold the source, no other program can change it, and
  // one that already holds it open makes this open fail.
  const HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    ThrowSystemError("Cannot open", path, ::GetLastError());
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    CloseFileQuietly(handle_);
    throw Error("Cannot open " + path + ": not a regular file");
  }
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file, &size)) {
    const DWORD error = ::GetLastError();
    CloseFileQuietly(handle_);
    ThrowSystemError("Cannot open", path, error);
  }
  size_ = size.QuadPart;
}

void InputFile::ReadAt(std::int64_t offset, void* data, std::size_t size) const {
  ReadExactly(Handle(handle_), offset, data, size);
}

bool InputFile::IsSameFileAs(const std::string& path) const {
  // No read or write access asked, so our own exclusive open does not block it.
  const HANDLE other = ::CreateFileW(
      WidePath(path).c_str(), 0,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (other == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION mine, theirs;
  const bool same = FileIdentity(Handle(handle_), mine) &&
                    FileIdentity(other, theirs) &&
                    mine.dwVolumeSerialNumber == theirs.dwVolumeSerialNumber &&
                    mine.nFileIndexHigh == theirs.nFileIndexHigh &&
                    mine.nFileIndexLow == theirs.nFileIndexLow;
  ::CloseHandle(other);
  return same;
}

OutputFile::OutputFile(const std::string& target)
    : target_(target), handle_(kNoFile) {
  // CREATE_NEW with an unpredictable name: a file planted in the folder is
  // never overwritten. A clash is retried with a new name.
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string temp = TemporaryPathFor(target);
    const HANDLE file = ::CreateFileW(
        WidePath(temp).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      handle_ = reinterpret_cast<std::intptr_t>(file);
      temp_path_ = std::move(temp);
      return;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      ThrowSystemError("Cannot create", target, error);
    }
  }
  ThrowSystemError("Cannot create", target, ERROR_FILE_EXISTS);
}

void OutputFile::CopyFrom(const InputFile& source, std::int64_t length) {
  std::vector<unsigned char> block(static_cast<std::size_t>(
      std::min<std::int64_t>(length, kCopyBlockSize)));
  for (std::int64_t offset = 0; offset < length;) {
    const auto size = static_cast<std::size_t>(
        std::min<std::int64_t>(length - offset, block.size()));
    source.ReadAt(offset, block.data(), size);
    WriteExactly(Handle(handle_), offset, block.data(), size);
    offset += static_cast<std::int64_t>(size);
  }
}

void OutputFile::ReadAt(std::int64_t offset, void* data, std::size_t size) const {
  ReadExactly(Handle(handle_), offset, data, size);
}

std::int64_t OutputFile::Size() const {
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(Handle(handle_), &size)) throw Error(kStreamWriteError);
  return size.QuadPart;
}

void OutputFile::Commit() {
  if (!::CloseHandle(Handle(std::exchange(handle_, kNoFile)))) {
    throw Error(kStreamWriteError);
  }
  // MoveFileExW replaces the target in one step; the handle-based rename is
  // missing under Wine.
  if (!::MoveFileExW(WidePath(temp_path_).c_str(), WidePath(target_).c_str(),
                     MOVEFILE_REPLACE_EXISTING)) {
    ThrowSystemError("Cannot write", target_, ::GetLastError());
  }
  temp_path_.clear();
}

bool FolderExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

MakeFolderResult MakeFolder(const std::string& path) {
  if (::CreateDirectoryW(WidePath(path).c_str(), nullptr)) {
    return MakeFolderResult::kCreated;
  }
  const DWORD error = ::GetLastError();
  if (error == ERROR_PATH_NOT_FOUND) return MakeFolderResult::kParentMissing;
  if (error == ERROR_ALREADY_EXISTS && FolderExists(path)) {
    return MakeFolderResult::kCreated;
  }
  ThrowSystemError("Cannot create folder", path, error);
}

void RemoveFileQuietly(const std::string& path) noexcept {
  try {
    ::DeleteFileW(WidePath(path).c_str());
  } catch (...) {
    // Clean-up only: a path that cannot even be converted was never created.
  }
}

}  // namespace velkrane
