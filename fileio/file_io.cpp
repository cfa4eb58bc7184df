#include "fileio/file_io.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "fileio/error.h"
#include "fileio/file_io_platform.h"
#include "fileio/path_parts.h"

// The platform-free half of the file layer: everything built from the
// primitives in file_io_platform.h, written once.

namespace velkrane {

namespace platform {

const char kCannotOpen[] = "Cannot open";
const char kCannotCreate[] = "Cannot create";
const char kCannotWrite[] = "Cannot write";
const char kCannotCreateFolder[] = "Cannot create folder";
const char kCannotOpenFolder[] = "Cannot open folder";

void ThrowSystemError(const char* what, const std::string& path,
                      SystemError error) {
  throw Error(what + (" " + path) + ": " + SystemErrorText(error));
}

}  // namespace platform

namespace {

[[noreturn]] void ThrowFailure(const char* what, const std::string& path,
                               const char* why) {
  throw Error(what + (" " + path) + ": " + why);
}

// Clashes with files already there are retried with new random names; this
// many in a row means something is wrong with the folder.
constexpr int kTemporaryNameAttempts = 16;

void ReadExactly(const FileHandle& file, std::int64_t offset, void* data,
                 std::size_t size) {
  auto* out = static_cast<unsigned char*>(data);
  while (size > 0) {
    const std::int64_t got = platform::ReadAt(file, offset, out, size);
    if (got <= 0) throw Error(kStreamReadError);
    out += got;
    offset += got;
    size -= static_cast<std::size_t>(got);
  }
}

void WriteExactly(const FileHandle& file, std::int64_t offset,
                  const unsigned char* data, std::size_t size) {
  while (size > 0) {
    const std::int64_t put = platform::WriteAt(file, offset, data, size);
    if (put <= 0) throw Error(kStreamWriteError);
    data += put;
    offset += put;
    size -= static_cast<std::size_t>(put);
  }
}

// Copies [offset, length) through a buffer, small enough to keep memory flat.
void CopyByBlocks(const FileHandle& from, const FileHandle& to,
                  std::int64_t offset, std::int64_t length) {
  std::vector<unsigned char> block(static_cast<std::size_t>(
      std::min<std::int64_t>(length - offset, static_cast<std::int64_t>(
                                                  platform::kCopyBlockSize))));
  while (offset < length) {
    const auto size = static_cast<std::size_t>(
        std::min<std::int64_t>(length - offset, block.size()));
    ReadExactly(from, offset, block.data(), size);
    WriteExactly(to, offset, block.data(), size);
    offset += static_cast<std::int64_t>(size);
  }
}

}  // namespace

TemporaryFile& TemporaryFile::operator=(TemporaryFile&& other) noexcept {
  if (this != &other) {
    Discard();
    file_ = std::move(other.file_);
    path_ = std::exchange(other.path_, {});
  }
  return *this;
}

void TemporaryFile::Discard() noexcept {
  file_.Reset();
  if (!path_.empty()) platform::RemoveFileQuietly(std::exchange(path_, {}));
}

InputFile::InputFile(const std::string& path) : path_(path) {
  platform::OpenedFile opened = platform::OpenForReading(path);
  if (!opened.file.Valid()) {
    ThrowFailure(platform::kCannotOpen, path, "not a regular file");
  }
  file_ = std::move(opened.file);
  size_ = opened.size;
}

void InputFile::ReadAt(std::int64_t offset, void* data,
                       std::size_t size) const {
  ReadExactly(file_, offset, data, size);
}

void InputFile::RefuseAsTarget(const std::string& path) const {
  const FileHandle other = platform::OpenToIdentify(path);
  if (!other.Valid()) return;
  const std::optional<FileIdentity> mine = platform::IdentityOfOpen(file_);
  const std::optional<FileIdentity> theirs = platform::IdentityOfOpen(other);
  if (mine && theirs && *mine == *theirs) {
    ThrowFailure(platform::kCannotWrite, path, "it is the source file itself");
  }
}

OutputFile::OutputFile(const std::string& target) : target_(target) {
  // An exclusive create under an unpredictable name: a file or link planted
  // in the folder is never followed or overwritten.
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    std::string path = TemporaryPathFor(target);
    FileHandle file = platform::CreateNewFile(path, target);
    if (file.Valid()) {
      temp_ = TemporaryFile(std::move(file), std::move(path));
      return;
    }
  }
  platform::ThrowSystemError(platform::kCannotCreate, target,
                             platform::kNameTaken);
}

void OutputFile::CopyFrom(const InputFile& source, std::int64_t length) {
  const std::int64_t done =
      platform::CopyInKernel(source.file_, temp_.File(), length);
  if (done < length) CopyByBlocks(source.file_, temp_.File(), done, length);
}

void OutputFile::ReadAt(std::int64_t offset, void* data,
                        std::size_t size) const {
  ReadExactly(temp_.File(), offset, data, size);
}

std::int64_t OutputFile::Size() const {
  const std::int64_t size = platform::SizeOf(temp_.File());
  if (size < 0) throw Error(kStreamWriteError);
  return size;
}

void OutputFile::WriteAt(std::int64_t offset, const void* data,
                         std::size_t size) {
  WriteExactly(temp_.File(), offset, static_cast<const unsigned char*>(data),
               size);
}

void OutputFile::Resize(std::int64_t length) {
  if (!platform::SetSize(temp_.File(), length)) throw Error(kStreamWriteError);
}

void OutputFile::SetModificationTime(std::int64_t seconds) {
  if (!platform::SetModificationTime(temp_.File(), seconds)) {
    throw Error(kStreamWriteError);
  }
}

void OutputFile::Commit() { CommitAs(true); }

void OutputFile::CommitNew() { CommitAs(false); }

void OutputFile::CommitAs(bool replace) {
  // The data reach the disk before the name does; the other way round, a power
  // cut could leave the target's name on an empty or partial file.
  if (!platform::FlushToDisk(temp_.File())) throw Error(kStreamWriteError);
  // Closing is where some file systems report a failed write.
  if (!platform::CloseFile(temp_.File())) throw Error(kStreamWriteError);
  const bool moved_to_disk = platform::MoveOver(temp_.Path(), target_, replace);
  const platform::SystemError error = platform::LastSystemError();
  temp_.Keep();
  if (!moved_to_disk) {
    throw NotOnDiskError(platform::kCannotWrite + (" " + target_) +
                         ": the copy is in place, but its folder could not be "
                         "put on the disk: " +
                         platform::SystemErrorText(error));
  }
}

void RemoveEmptyFolderQuietly(const std::string& path) noexcept {
  platform::RemoveEmptyFolderQuietly(path);
}

void CreateFolders(const std::string& path) {
  std::string folder = path;
  // Strip trailing separators, but never a drive colon, and never to nothing.
  while (folder.size() > 1 && IsPathSeparator(folder.back()) &&
         folder.back() != ':') {
    folder.pop_back();
  }
  if (folder.empty() || FolderExists(folder)) return;
  if (platform::MakeFolder(folder) == platform::MakeFolderResult::kCreated)
    return;
  const std::string parent = DirectoryPart(folder);
  if (parent.empty() || parent == folder) {
    ThrowFailure(platform::kCannotCreateFolder, folder, "no parent folder");
  }
  CreateFolders(parent);
  if (platform::MakeFolder(folder) != platform::MakeFolderResult::kCreated) {
    ThrowFailure(platform::kCannotCreateFolder, folder,
                 "parent folder missing");
  }
}

FileIdentity IdentityOf(const std::string& path) {
  const FileHandle file = platform::OpenToIdentify(path);
  std::optional<FileIdentity> identity;
  if (file.Valid()) identity = platform::IdentityOfOpen(file);
  if (!identity) {
    platform::ThrowSystemError(platform::kCannotOpenFolder, path,
                               platform::LastSystemError());
  }
  return *identity;
}

}  // namespace velkrane
