#pragma once

#include <string>

namespace velkrane {

/// The text up to and including the last path separator (see IsPathSeparator);
/// empty when there is none.
std::string DirectoryPart(const std::string& path);

/// The text after the last path separator; the whole path when there is none.
std::string FileNamePart(const std::string& path);

/// `folder` with a separator appended when it does not already end in one.
std::string WithTrailingSeparator(const std::string& folder);

/// A fresh, unpredictable name in the target's own folder for the temporary
/// file that is later moved over the target.
std::string TemporaryPathFor(const std::string& target);

}  // namespace velkrane
