#pragma once

#include <string>
#include <vector>

namespace velkrane {

/// One file a walk found, or a folder it could not read.
struct FoundFile {
  /// The PATH it was found under joined with the names below it.
  std::string path;
  /// The names below that PATH; for a PATH that is itself a file, its name.
  std::string relative;
  /// Empty for a file; else why the folder at `path` could not be read.
  std::string error;
};

/// True when `name` ends in ".x3f" in any letter case.
bool HasX3fExtension(const std::string& name);

/// The files that a list of paths names, in order. A path that is not a
/// folder yields itself, whether or not it exists, so that a missing one
/// fails as that path's failure. A folder yields the files below it whose
/// names end in ".x3f", depth first in name order; it never enters a folder
/// named "PostProcessed" (the copies of an earlier run) or `excluded`, and
/// enters a folder reached again through links only once.
std::vector<FoundFile> FindX3fFiles(const std::vector<std::string>& paths,
                                    const std::string& excluded = "");

}  // namespace velkrane
