#pragma once

#include <cstdint>
#include <string>

namespace velkrane {

/// The text up to and including the last path separator (see IsPathSeparator);
/// empty when there is none.
std::string DirectoryPart(const std::string& path);

/// The text after the last path separator; the whole path when there is none.
std::string FileNamePart(const std::string& path);

/// `folder` with a separator appended when it does not already end in one
/// (on Windows a drive colon counts: "C:" stays drive-relative).
std::string WithTrailingSeparator(const std::string& folder);

/// A fresh, unpredictable name in the target's own folder for the temporary
/// file that is later moved over the target.
std::string TemporaryPathFor(const std::string& target);

/// Replaces the random part of temporary names with `bits()`, so that a test
/// can plant a file at the name the next write will try; nullptr restores it.
void SetTemporaryNameBitsForTesting(std::uint64_t (*bits)());

}  // namespace velkrane
