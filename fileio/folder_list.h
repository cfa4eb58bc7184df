#pragma once

// What the folder walk needs from the operating system: a folder's entries
// and the identity of a folder behind any links. folder_list_posix.cpp and
// folder_list_win32.cpp each implement all of it; names are UTF-8.

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace velkrane {

/// What a path leads to once links are followed.
enum class EntryKind { kFile, kFolder, kOther };

struct FolderEntry {
  std::string name;
  EntryKind kind = EntryKind::kOther;
};

/// The entries of a folder, without "." and "..", in no particular order.
/// A link counts as what it leads to; a dangling one is kOther. Throws
/// velkrane::Error ("Cannot open folder PATH: ...") when it cannot be read.
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

/// The identity of what `path` leads to. Throws velkrane::Error
/// ("Cannot open folder PATH: ...") when it cannot be had.
FileIdentity IdentityOf(const std::string& path);

/// True where the file system treats "A" and "a" as one name (Windows).
extern const bool kFileNamesIgnoreCase;

}  // namespace velkrane
