#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "fileio/error.h"
#include "fileio/file_io.h"
#include "fileio/path_parts.h"

namespace velkrane {

const char kPathSeparator = '/';

bool IsPathSeparator(char c) { return c == '/'; }

namespace {

// Blocks for the read/write fallback, small enough to keep memory flat.
constexpr std::size_t kCopyBlockSize = 256 * 1024;

[[noreturn]] void ThrowSystemError(const std::string& what,
                                   const std::string& path, int error) {
  throw Error(what + " " + path + ": " + std::strerror(error));
}

int Fd(std::intptr_t handle) { return static_cast<int>(handle); }

void ReadExactly(int fd, std::int64_t offset, void* data, std::size_t size) {
  auto* out = static_cast<unsigned char*>(data);
  while (size > 0) {
    const ssize_t got = ::pread(fd, out, size, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) throw Error(kStreamReadError);
    out += got;
    offset += got;
    size -= static_cast<std::size_t>(got);
  }
}

void WriteExactly(int fd, std::int64_t offset, const unsigned char* data,
                  std::size_t size) {
  while (size > 0) {
    const ssize_t put = ::pwrite(fd, data, size, static_cast<off_t>(offset));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) throw Error(kStreamWriteError);
    data += put;
    offset += put;
    size -= static_cast<std::size_t>(put);
  }
}

// Copies [offset, length) through user space when the kernel cannot copy.
void CopyByBlocks(int from, int to, std::int64_t offset, std::int64_t length) {
  std::vector<unsigned char> block(static_cast<std::size_t>(
      std::min<std::int64_t>(length - offset, kCopyBlockSize)));
  while (offset < length) {
    const auto size = static_cast<std::size_t>(
        std::min<std::int64_t>(length - offset, block.size()));
    ReadExactly(from, offset, block.data(), size);
    WriteExactly(to, offset, block.data(), size);
    offset += static_cast<std::int64_t>(size);
  }
}

bool KernelCannotCopy(int error) {
  return error == EXDEV || error == ENOSYS || error == EINVAL ||
         error == EOPNOTSUPP || error == EBADF || error == ETXTBSY;
}

}  // namespace

void CloseFileQuietly(std::intptr_t& handle) noexcept {
  if (handle != kNoFile) ::close(Fd(std::exchange(handle, kNoFile)));
}

InputFile::InputFile(const std::string& path) : path_(path), handle_(kNoFile) {
  // O_NONBLOCK so that opening a FIFO cannot wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) ThrowSystemError("Cannot open", path, errno);
  handle_ = fd;
  struct stat info;
  if (::fstat(fd, &info) != 0) {
    const int error = errno;
    CloseFileQuietly(handle_);
    ThrowSystemError("Cannot open", path, error);
  }
  if (!S_ISREG(info.st_mode)) {
    CloseFileQuietly(handle_);
    throw Error("Cannot open " + path + ": not a regular file");
  }
  size_ = static_cast<std::int64_t>(info.st_size);
}

void InputFile::ReadAt(std::int64_t offset, void* data, std::size_t size) const {
  ReadExactly(Fd(handle_), offset, data, size);
}

bool InputFile::IsSameFileAs(const std::string& path) const {
  struct stat mine, theirs;
  if (::stat(path.c_str(), &theirs) != 0) return false;
  if (::fstat(Fd(handle_), &mine) != 0) return false;
  return mine.st_dev == theirs.st_dev && mine.st_ino == theirs.st_ino;
}

OutputFile::OutputFile(const std::string& target)
    : target_(target), handle_(kNoFile) {
  // O_EXCL with an unpredictable name: a file or link planted in the folder is
  // never followed or overwritten. A clash is retried with a new name.
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string temp = TemporaryPathFor(target);
    const int fd = ::open(temp.c_str(),
                          O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                          0666);
    if (fd >= 0) {
      handle_ = fd;
      temp_path_ = std::move(temp);
      return;
    }
    if (errno != EEXIST) ThrowSystemError("Cannot create", target, errno);
  }
  ThrowSystemError("Cannot create", target, EEXIST);
}

void OutputFile::CopyFrom(const InputFile& source, std::int64_t length) {
  const int from = Fd(source.NativeHandle());
  const int to = Fd(handle_);
  loff_t in = 0;
  loff_t out = 0;
  while (in < length) {
    const ssize_t copied = ::copy_file_range(
        from, &in, to, &out, static_cast<std::size_t>(length - in), 0);
    if (copied > 0) continue;
    if (copied == 0) throw Error(kStreamReadError);
    if (errno == EINTR) continue;
    if (KernelCannotCopy(errno)) {
      CopyByBlocks(from, to, in, length);
      return;
    }
    throw Error(kStreamWriteError);
  }
}

void OutputFile::ReadAt(std::int64_t offset, void* data, std::size_t size) const {
  ReadExactly(Fd(handle_), offset, data, size);
}

std::int64_t OutputFile::Size() const {
  struct stat info;
  if (::fstat(Fd(handle_), &info) != 0) throw Error(kStreamWriteError);
  return static_cast<std::int64_t>(info.st_size);
}

void OutputFile::Commit() {
  // close() is where some file systems report a failed write.
  if (::close(Fd(std::exchange(handle_, kNoFile))) != 0) {
    throw Error(kStreamWriteError);
  }
  if (::rename(temp_path_.c_str(), target_.c_str()) != 0) {
    ThrowSystemError("Cannot write", target_, errno);
  }
  temp_path_.clear();
}

bool FolderExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

MakeFolderResult MakeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0) return MakeFolderResult::kCreated;
  const int error = errno;
  if (error == ENOENT) return MakeFolderResult::kParentMissing;
  if (error == EEXIST && FolderExists(path)) return MakeFolderResult::kCreated;
  ThrowSystemError("Cannot create folder", path, error);
}

void RemoveFileQuietly(const std::string& path) noexcept {
  ::unlink(path.c_str());
}

}  // namespace velkrane
