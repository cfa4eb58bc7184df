#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "fileio/error.h"
#include "fileio/file_io.h"
#include "fileio/file_io_platform.h"
#include "fileio/path_parts.h"

namespace velkrane {

const char kPathSeparator = '/';
const bool kFileNamesIgnoreCase = false;

bool IsPathSeparator(char c) { return c == '/'; }

void FileHandle::Reset(std::intptr_t handle) noexcept {
  if (Valid()) ::close(static_cast<int>(handle_));
  handle_ = handle;
}

bool FolderExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

namespace {

EntryKind KindOfMode(mode_t mode) {
  if (S_ISREG(mode)) return EntryKind::kFile;
  if (S_ISDIR(mode)) return EntryKind::kFolder;
  return EntryKind::kOther;
}

struct CloseDir {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

std::vector<FolderEntry> ListFolder(const std::string& path) {
  const std::unique_ptr<DIR, CloseDir> dir(::opendir(path.c_str()));
  if (!dir)
    platform::ThrowSystemError(platform::kCannotOpenFolder, path, errno);
  std::vector<FolderEntry> entries;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) break;
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    FolderEntry found{name, EntryKind::kOther};
    // Most file systems say the kind in the listing; only links and the
    // rest need a look at what they lead to.
    if (entry->d_type == DT_REG) {
      found.kind = EntryKind::kFile;
    } else if (entry->d_type == DT_DIR) {
      found.kind = EntryKind::kFolder;
    } else {
      struct stat info;
      if (::fstatat(::dirfd(dir.get()), name, &info, 0) == 0) {
        found.kind = KindOfMode(info.st_mode);
      }
    }
    entries.push_back(std::move(found));
  }
  if (errno != 0) {
    platform::ThrowSystemError(platform::kCannotOpenFolder, path, errno);
  }
  return entries;
}

EntryKind KindOf(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return EntryKind::kOther;
  return KindOfMode(info.st_mode);
}

namespace platform {
namespace {

int Fd(const FileHandle& file) { return static_cast<int>(file.Get()); }

bool KernelCannotCopy(int error) {
  return error == EXDEV || error == ENOSYS || error == EINVAL ||
         error == EOPNOTSUPP || error == EBADF || error == ETXTBSY;
}

// The folder that holds `path`'s entry.
std::string FolderOf(const std::string& path) {
  const std::string folder = DirectoryPart(path);
  return folder.empty() ? "." : folder;
}

FileHandle OpenFolder(const std::string& folder) {
  return FileHandle(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// A new or renamed entry is on the disk only once its folder is. EINVAL: the
// file system keeps no folder to put there (nothing more can be done).
bool FlushFolder(const FileHandle& folder) {
  for (;;) {
    if (::fsync(Fd(folder)) == 0) return true;
    if (errno != EINTR) return errno == EINVAL;
  }
}

}  // namespace

const SystemError kNameTaken = EEXIST;
const std::size_t kCopyBlockSize = 256 * 1024;

std::string SystemErrorText(SystemError error) {
  return std::strerror(static_cast<int>(error));
}

SystemError LastSystemError() noexcept {
  return static_cast<SystemError>(errno);
}

OpenedFile OpenForReading(const std::string& path) {
  // O_NONBLOCK so that opening a FIFO cannot wait for a writer.
  FileHandle file(
      ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!file.Valid()) ThrowSystemError(kCannotOpen, path, errno);
  struct stat info;
  if (::fstat(Fd(file), &info) != 0) ThrowSystemError(kCannotOpen, path, errno);
  if (!S_ISREG(info.st_mode)) return {};
  return {std::move(file), static_cast<std::int64_t>(info.st_size)};
}

FileHandle CreateNewFile(const std::string& path, const std::string& target) {
  FileHandle file(::open(
      path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
  if (!file.Valid() && errno != EEXIST) {
    ThrowSystemError(kCannotCreate, target, errno);
  }
  return file;
}

std::int64_t ReadAt(const FileHandle& file, std::int64_t offset, void* data,
                    std::size_t size) noexcept {
  for (;;) {
    const ssize_t got =
        ::pread(Fd(file), data, size, static_cast<off_t>(offset));
    if (got >= 0 || errno != EINTR) return got;
  }
}

std::int64_t WriteAt(const FileHandle& file, std::int64_t offset,
                     const void* data, std::size_t size) noexcept {
  for (;;) {
    const ssize_t put =
        ::pwrite(Fd(file), data, size, static_cast<off_t>(offset));
    if (put >= 0 || errno != EINTR) return put;
  }
}

std::int64_t SizeOf(const FileHandle& file) noexcept {
  struct stat info;
  if (::fstat(Fd(file), &info) != 0) return -1;
  return static_cast<std::int64_t>(info.st_size);
}

std::int64_t CopyInKernel(const FileHandle& from, const FileHandle& to,
                          std::int64_t length) {
  loff_t in = 0;
  loff_t out = 0;
  while (in < length) {
    const ssize_t copied = ::copy_file_range(
        Fd(from), &in, Fd(to), &out, static_cast<std::size_t>(length - in), 0);
    if (copied > 0) continue;
    if (copied == 0) throw Error(kStreamReadError);
    if (errno == EINTR) continue;
    if (KernelCannotCopy(errno)) return in;
    throw Error(kStreamWriteError);
  }
  return in;
}

FileHandle OpenToIdentify(const std::string& path) {
  // O_PATH reads nothing: a file without read permission still answers.
  return FileHandle(::open(path.c_str(), O_PATH | O_CLOEXEC));
}

std::optional<FileIdentity> IdentityOfOpen(const FileHandle& file) {
  struct stat info;
  if (::fstat(Fd(file), &info) != 0) return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                      static_cast<std::uint64_t>(info.st_ino)};
}

bool FlushToDisk(const FileHandle& file) noexcept {
  for (;;) {
    // The data and the size that reads need; the entry's own name goes to
    // the disk with its folder (FlushFolder).
    if (::fdatasync(Fd(file)) == 0) return true;
    if (errno != EINTR) return false;
  }
}

bool CloseFile(FileHandle& file) noexcept {
  return ::close(static_cast<int>(file.Release())) == 0;
}

bool MoveOver(const std::string& from, const std::string& to, bool replace) {
  // Opened before the move, so that a folder we cannot open fails the copy
  // while the target is still untouched.
  const FileHandle folder = OpenFolder(FolderOf(to));
  if (!folder.Valid()) ThrowSystemError(kCannotWrite, to, errno);
  if (!replace) {
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(),
                    RENAME_NOREPLACE) == 0) {
      return FlushFolder(folder);
    }
    // A file system that cannot refuse in the kernel (some FUSE ones): look
    // first. Only this run writes into its folder.
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
      ThrowSystemError(kCannotWrite, to, errno);
    }
#endif
    // Without renameat2 (the browser's build), looking first is all there is.
    struct stat info;
    if (::lstat(to.c_str(), &info) == 0) {
      ThrowSystemError(kCannotWrite, to, EEXIST);
    }
  }
  if (::rename(from.c_str(), to.c_str()) != 0) {
    ThrowSystemError(kCannotWrite, to, errno);
  }
  return FlushFolder(folder);
}

bool SetSize(const FileHandle& file, std::int64_t length) noexcept {
  return ::ftruncate(Fd(file), static_cast<off_t>(length)) == 0;
}

bool SetModificationTime(const FileHandle& file,
                         std::int64_t seconds) noexcept {
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(seconds);
  times[1].tv_nsec = 0;
  return ::futimens(Fd(file), times) == 0;
}

MakeFolderResult MakeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) != 0) {
    const int error = errno;
    if (error == ENOENT) return MakeFolderResult::kParentMissing;
    if (error == EEXIST && FolderExists(path))
      return MakeFolderResult::kCreated;
    ThrowSystemError(kCannotCreateFolder, path, error);
  }
  const FileHandle parent = OpenFolder(FolderOf(path));
  if (!parent.Valid() || !FlushFolder(parent)) {
    ThrowSystemError(kCannotCreateFolder, path, errno);
  }
  return MakeFolderResult::kCreated;
}

void RemoveFileQuietly(const std::string& path) noexcept {
  ::unlink(path.c_str());
}

void RemoveEmptyFolderQuietly(const std::string& path) noexcept {
  ::rmdir(path.c_str());
}

}  // namespace platform
}  // namespace velkrane
