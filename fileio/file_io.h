#pragma once

// What the tail repair needs from the operating system, in its own terms.
// file_io.cpp builds it once over the few calls that file_io_posix.cpp and
// file_io_win32.cpp each provide; paths are UTF-8 everywhere. Every failure
// throws velkrane::Error.

#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace velkrane {

/// True for the characters that end a directory part on this platform
/// (Windows: '\', '/' and the drive colon; POSIX: '/').
bool IsPathSeparator(char c);

/// The separator this platform appends when it joins a folder and a name.
extern const char kPathSeparator;

/// Owns one open file or folder: a POSIX descriptor or a Win32 HANDLE. It is
/// held as an integer so that this header, included all the way up to the
/// front ends, needs no windows.h; -1 is both an invalid descriptor and
/// INVALID_HANDLE_VALUE. Only the close differs per platform.
class FileHandle {
 public:
  static constexpr std::intptr_t kNone = -1;

  FileHandle() noexcept = default;
  explicit FileHandle(std::intptr_t handle) noexcept : handle_(handle) {}
  FileHandle(FileHandle&& other) noexcept : handle_(other.Release()) {}
  FileHandle& operator=(FileHandle&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() { Reset(); }

  std::intptr_t Get() const noexcept { return handle_; }
  bool Valid() const noexcept { return handle_ != kNone; }
  std::intptr_t Release() noexcept { return std::exchange(handle_, kNone); }
  /// Closes what it holds, quietly, and takes `handle`.
  void Reset(std::intptr_t handle = kNone) noexcept;

 private:
  std::intptr_t handle_ = kNone;
};

/// The file OutputFile writes before it takes the target's name: its handle
/// and its name, owned together. Dropping it closes the file and then deletes
/// it, in that order because Windows cannot delete an open file.
class TemporaryFile {
 public:
  TemporaryFile() noexcept = default;
  TemporaryFile(FileHandle file, std::string path) noexcept
      : file_(std::move(file)), path_(std::move(path)) {}
  TemporaryFile(TemporaryFile&& other) noexcept
      : file_(std::move(other.file_)), path_(std::exchange(other.path_, {})) {}
  TemporaryFile& operator=(TemporaryFile&& other) noexcept;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() { Discard(); }

  FileHandle& File() noexcept { return file_; }
  const FileHandle& File() const noexcept { return file_; }
  const std::string& Path() const noexcept { return path_; }

  /// The file has taken another name: there is nothing left to delete.
  void Keep() noexcept { path_.clear(); }

 private:
  void Discard() noexcept;

  FileHandle file_;
  std::string path_;
};

/// A regular file opened for reading. On Windows no other program may open it
/// while we hold it; on POSIX nothing stops another writer, so every read
/// checks that it got all it asked for.
class InputFile {
 public:
  /// Throws when the path is missing, unreadable, or not a regular file
  /// (a folder, FIFO or device would hang or never end).
  explicit InputFile(const std::string& path);
  InputFile(InputFile&&) noexcept = default;
  InputFile& operator=(InputFile&&) noexcept = default;

  std::int64_t Size() const { return size_; }
  const std::string& Path() const { return path_; }

  /// Reads exactly `size` bytes at `offset`; a short read throws
  /// "Stream read error".
  void ReadAt(std::int64_t offset, void* data, std::size_t size) const;

  /// Throws "Cannot write PATH: it is the source file itself" when `path`
  /// names this very file (a hard link, or a path through a symlinked
  /// folder), so that a copy never replaces its own source. A path that does
  /// not exist is not the same file.
  void RefuseAsTarget(const std::string& path) const;

 private:
  friend class OutputFile;  // copies from the handle in the kernel

  std::string path_;
  FileHandle file_;
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
  OutputFile(OutputFile&&) noexcept = default;
  OutputFile& operator=(OutputFile&&) noexcept = default;

  /// Copies the first `length` bytes of `source` with the platform's fastest
  /// path. A source that ends early throws "Stream read error"; a write that
  /// fails (disk full) throws "Stream write error".
  void CopyFrom(const InputFile& source, std::int64_t length);

  /// Writes `size` bytes at `offset`; a failed write throws "Stream write
  /// error".
  void WriteAt(std::int64_t offset, const void* data, std::size_t size);
  /// Cuts the data written to their first `length` bytes.
  void Resize(std::int64_t length);
  /// Gives the copy this modification time (seconds since 1970, UTC); call
  /// after the last write.
  void SetModificationTime(std::int64_t seconds);

  /// The name Commit() gives the copy from now on (in the same folder).
  void SetTarget(const std::string& target) { target_ = target; }
  const std::string& Target() const { return target_; }

  /// Reads back what was written, for a check before Commit().
  void ReadAt(std::int64_t offset, void* data, std::size_t size) const;
  std::int64_t Size() const;

  /// Puts the data on the disk, then moves the temporary over the target in
  /// one step and puts that on the disk too, so that the target's name never
  /// stands for data a power cut could still take. A flush of the data that
  /// fails throws "Stream write error" with the target untouched; one of the
  /// folder, after the move, throws NotOnDiskError.
  void Commit();
  /// As Commit, but never over a file that has the target's name: then it
  /// throws "Cannot write TARGET: ..." and the temporary is removed.
  void CommitNew();

 private:
  void CommitAs(bool replace);

  std::string target_;
  TemporaryFile temp_;
};

/// True when `path` names an existing folder (following links).
bool FolderExists(const std::string& path);

/// Deletes the folder `path` if it exists and is empty; never throws.
void RemoveEmptyFolderQuietly(const std::string& path) noexcept;

/// Creates `path` and every missing parent folder, each one on the disk in its
/// parent before the next is made inside it.
void CreateFolders(const std::string& path);

/// What a path leads to once links are followed.
enum class EntryKind { kFile, kFolder, kOther };

struct FolderEntry {
  std::string name;
  EntryKind kind = EntryKind::kOther;
};

/// The entries of a folder, without "." and "..", in no particular order.
/// A link counts as what it leads to; a dangling one is kOther. Throws
/// "Cannot open folder PATH: ..." when it cannot be read.
std::vector<FolderEntry> ListFolder(const std::string& path);

/// What `path` leads to; kOther also when it does not exist.
EntryKind KindOf(const std::string& path);

/// Names one file or folder on one volume, whatever path reached it.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator<(const FileIdentity& other) const {
    return std::tie(volume, index) < std::tie(other.volume, other.index);
  }
  bool operator==(const FileIdentity& other) const {
    return volume == other.volume && index == other.index;
  }
};

/// The identity of what `path` leads to, links followed. Throws "Cannot open
/// folder PATH: ..." when it cannot be had.
FileIdentity IdentityOf(const std::string& path);

/// True where the file system treats "A" and "a" as one name (Windows).
extern const bool kFileNamesIgnoreCase;

}  // namespace velkrane
