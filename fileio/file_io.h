#pragma once

// What the tail repair needs from the operating system, in its own terms.
// file_io_posix.cpp and file_io_win32.cpp each implement all of it; paths are
// UTF-8 everywhere. Every failure throws velkrane::Error.

#include <cstddef>
#include <cstdint>
#include <string>

namespace velkrane {

/// True for the characters that end a directory part on this platform
/// (Windows: '\', '/' and the drive colon; POSIX: '/').
bool IsPathSeparator(char c);

/// The separator this platform appends when it joins a folder and a name.
extern const char kPathSeparator;

/// A regular file opened for reading. On Windows no other program may open it
/// while we hold it; on POSIX nothing stops another writer, so every read
/// checks that it got all it asked for.
class InputFile {
 public:
  /// Throws when the path is missing, unreadable, or not a regular file
  /// (a folder, FIFO or device would hang or never end).
  explicit InputFile(const std::string& path);
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  std::int64_t Size() const { return size_; }
  const std::string& Path() const { return path_; }

  /// Reads exactly `size` bytes at `offset`; a short read throws
  /// "Stream read error".
  void ReadAt(std::int64_t offset, void* data, std::size_t size) const;

  /// True when `path` names this very file (a hard link, or a path through a
  /// symlinked folder). A path that does not exist is not the same file.
  bool IsSameFileAs(const std::string& path) const;

  /// The native handle for the platform's own copy path.
  std::intptr_t NativeHandle() const { return handle_; }

 private:
  void Close() noexcept;

  std::string path_;
  std::intptr_t handle_;
  std::int64_t size_ = 0;
};

/// A new file that takes a target's name only when Commit() succeeds. The data
/// goes to an exclusively created temporary file beside the target, so a
/// failed or partial write never replaces (or empties) an earlier target; the
/// destructor removes the temporary unless it was committed.
class OutputFile {
 public:
  /// Throws when the temporary cannot be created (folder missing, not
  /// writable).
  explicit OutputFile(const std::string& target);
  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&& other) noexcept;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  /// Copies the first `length` bytes of `source` with the platform's fastest
  /// path. A source that ends early throws "Stream read error"; a write that
  /// fails (disk full) throws "Stream write error".
  void CopyFrom(const InputFile& source, std::int64_t length);

  /// Reads back what was written, for a check before Commit().
  void ReadAt(std::int64_t offset, void* data, std::size_t size) const;
  std::int64_t Size() const;

  /// Closes the temporary and moves it over the target in one step.
  void Commit();

  const std::string& TemporaryPath() const { return temp_path_; }

 private:
  void Discard() noexcept;

  std::string target_;
  std::string temp_path_;
  std::intptr_t handle_;
};

/// True when `path` names an existing folder (following links).
bool FolderExists(const std::string& path);

enum class MakeFolderResult { kCreated, kParentMissing };

/// Creates one folder. Returns kParentMissing when its parent does not exist;
/// an existing folder counts as created; any other failure throws.
MakeFolderResult MakeFolder(const std::string& path);

/// Creates `path` and every missing parent folder.
void CreateFolders(const std::string& path);

/// Deletes a file if it exists; never throws (used for clean-up only).
void RemoveFileQuietly(const std::string& path) noexcept;

/// The value of a handle that holds no file: -1 is both an invalid POSIX
/// descriptor and INVALID_HANDLE_VALUE.
constexpr std::intptr_t kNoFile = -1;

/// Closes `handle` unless it is kNoFile, and leaves kNoFile in it.
void CloseFileQuietly(std::intptr_t& handle) noexcept;

}  // namespace velkrane
