#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <memory>

#include "fileio/error.h"
#include "fileio/folder_list.h"

namespace velkrane {

const bool kFileNamesIgnoreCase = false;

namespace {

[[noreturn]] void ThrowFolderError(const std::string& path, int error) {
  throw Error("Cannot open folder " + path + ": " + std::strerror(error));
}

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
  if (!dir) ThrowFolderError(path, errno);
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
  if (errno != 0) ThrowFolderError(path, errno);
  return entries;
}

EntryKind KindOf(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return EntryKind::kOther;
  return KindOfMode(info.st_mode);
}

FileIdentity IdentityOf(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) ThrowFolderError(path, errno);
  return {static_cast<std::uint64_t>(info.st_dev),
          static_cast<std::uint64_t>(info.st_ino)};
}

}  // namespace velkrane
