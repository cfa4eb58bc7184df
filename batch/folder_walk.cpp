#include "batch/folder_walk.h"

#include <algorithm>
#include <exception>
#include <set>

#include "batch/output_names.h"
#include "fileio/file_io.h"
#include "fileio/path_parts.h"
#include "fileio/text.h"

namespace velkrane {
namespace {

bool IsOutputFolderName(const std::string& name) {
  return kFileNamesIgnoreCase ? EqualIgnoringAsciiCase(name, kOutputFolderName)
                              : name == kOutputFolderName;
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder.empty() ? name : WithTrailingSeparator(folder) + name;
}

class Walk {
 public:
  explicit Walk(const std::string& excluded) {
    if (!excluded.empty() && KindOf(excluded) == EntryKind::kFolder) {
      try {
        entered_.insert(IdentityOf(excluded));
      } catch (const std::exception&) {
        // A folder that cannot be opened cannot be entered either.
      }
    }
  }

  void Path(const std::string& path) {
    if (KindOf(path) != EntryKind::kFolder) {
      found_.push_back({path, FileNamePart(path), ""});
      return;
    }
    // Depth first without recursion, so that a very deep tree cannot
    // exhaust the stack: the folder's entries are pushed in reverse name
    // order and taken from the back.
    pending_.push_back({path, "", EntryKind::kFolder});
    while (!pending_.empty()) {
      const Pending next = std::move(pending_.back());
      pending_.pop_back();
      if (next.kind == EntryKind::kFolder) {
        Enter(next.path, next.relative);
      } else {
        found_.push_back({next.path, next.relative, ""});
      }
    }
  }

  std::vector<FoundFile> Take() { return std::move(found_); }

 private:
  struct Pending {
    std::string path;
    std::string relative;
    EntryKind kind;
  };

  void Enter(const std::string& folder, const std::string& relative) {
    std::vector<FolderEntry> entries;
    try {
      // Identity, not path: a link back up the tree names a folder already
      // entered under another path.
      if (!entered_.insert(IdentityOf(folder)).second) return;
      entries = ListFolder(folder);
    } catch (const std::exception& e) {
      found_.push_back({folder, relative, e.what()});
      return;
    }
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) {
                return a.name > b.name;
              });
    for (FolderEntry& entry : entries) {
      const bool wanted = entry.kind == EntryKind::kFolder
                              ? !IsOutputFolderName(entry.name)
                              : HasX3fExtension(entry.name);
      if (!wanted) continue;
      pending_.push_back(
          {Join(folder, entry.name), Join(relative, entry.name), entry.kind});
    }
  }

  std::set<FileIdentity> entered_;
  std::vector<Pending> pending_;
  std::vector<FoundFile> found_;
};

}  // namespace

bool HasX3fExtension(const std::string& name) {
  static const std::string kExtension = ".x3f";
  return name.size() >= kExtension.size() &&
         EqualIgnoringAsciiCase(name.substr(name.size() - kExtension.size()),
                                kExtension);
}

std::vector<FoundFile> FindX3fFiles(const std::vector<std::string>& paths,
                                    const std::string& excluded) {
  Walk walk(excluded);
  for (const std::string& path : paths) walk.Path(path);
  return walk.Take();
}

}  // namespace velkrane
