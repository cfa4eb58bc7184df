#pragma once

// The few operating-system calls that file_io.cpp builds the file layer on.
// file_io_posix.cpp and file_io_win32.cpp each define all of them; nothing
// outside fileio/ includes this header.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fileio/file_io.h"

namespace velkrane::platform {

// The first words of the errors that name a path, each written once.
extern const char kCannotOpen[];
extern const char kCannotCreate[];
extern const char kCannotWrite[];
extern const char kCannotCreateFolder[];
extern const char kCannotOpenFolder[];

/// An error number of the platform: errno, or a GetLastError() value.
using SystemError = unsigned long;

/// The error of a name that something else already has.
extern const SystemError kNameTaken;

/// The system's own text for `error`.
std::string SystemErrorText(SystemError error);

/// Why the last call here that failed did: errno, or GetLastError().
SystemError LastSystemError() noexcept;

/// Throws "<what> <path>: <the system's text for error>".
[[noreturn]] void ThrowSystemError(const char* what, const std::string& path,
                                   SystemError error);

struct OpenedFile {
  FileHandle file;  // empty when the path is no regular file
  std::int64_t size = 0;
};

/// Opens `path` for reading. Returns an empty handle when it names something
/// other than a regular file; any other failure throws "Cannot open PATH: ...".
OpenedFile OpenForReading(const std::string& path);

/// Creates `path` as a new file for reading and writing, never through a link
/// that lies there. Returns an empty handle when the name is taken; any other
/// failure throws "Cannot create TARGET: ...".
FileHandle CreateNewFile(const std::string& path, const std::string& target);

/// Reads or writes up to `size` bytes at `offset`, and returns how many moved:
/// 0 at the end of the file, negative on failure.
std::int64_t ReadAt(const FileHandle& file, std::int64_t offset, void* data,
                    std::size_t size) noexcept;
std::int64_t WriteAt(const FileHandle& file, std::int64_t offset,
                     const void* data, std::size_t size) noexcept;

/// The size of an open file, or -1 when the system cannot say.
std::int64_t SizeOf(const FileHandle& file) noexcept;

/// The blocks in which a copy goes through this process.
extern const std::size_t kCopyBlockSize;

/// Copies bytes [0, length) from `from` to the same place in `to` without
/// passing them through this process, as far as the kernel can, and returns
/// where it stopped: `length`, or less when the kernel cannot copy between
/// these files (the caller copies the rest in blocks). A source that ends
/// early throws "Stream read error", a failed write "Stream write error".
std::int64_t CopyInKernel(const FileHandle& from, const FileHandle& to,
                          std::int64_t length);

/// Opens what `path` leads to, links followed, asking for no access to its
/// data, so that a file held open elsewhere (even by us, unshared) still
/// answers. Returns an empty handle when that fails; LastSystemError() says
/// why.
FileHandle OpenToIdentify(const std::string& path);

/// The identity of the file or folder `file` has open; nothing when the
/// system cannot say (LastSystemError() says why).
std::optional<FileIdentity> IdentityOfOpen(const FileHandle& file);

/// Returns once the file's data are on the disk; false when that failed.
bool FlushToDisk(const FileHandle& file) noexcept;

/// Closes the file and says whether the close succeeded (some file systems
/// report a failed write only there).
bool CloseFile(FileHandle& file) noexcept;

/// Moves `from` over `to` in one step and puts the move on the disk. Throws
/// "Cannot write TO: ..." when nothing moved (without `replace`, also when
/// `to` exists); returns false when the move was made but could not be put on
/// the disk.
bool MoveOver(const std::string& from, const std::string& to,
              bool replace = true);

/// Cuts or extends the open file to `length` bytes; false on failure.
bool SetSize(const FileHandle& file, std::int64_t length) noexcept;

/// Sets the open file's modification time, in seconds since 1970 (UTC);
/// false on failure.
bool SetModificationTime(const FileHandle& file, std::int64_t seconds) noexcept;

enum class MakeFolderResult { kCreated, kParentMissing };

/// Creates one folder and puts its entry in the parent folder on the disk.
/// Returns kParentMissing when the parent does not exist; an existing folder
/// counts as created; any other failure throws "Cannot create folder PATH:
/// ...".
MakeFolderResult MakeFolder(const std::string& path);

/// Deletes a file if it exists; never throws (used for clean-up only).
void RemoveFileQuietly(const std::string& path) noexcept;

/// Deletes a folder if it exists and is empty; never throws.
void RemoveEmptyFolderQuietly(const std::string& path) noexcept;

}  // namespace velkrane::platform
