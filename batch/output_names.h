#pragma once

// The names of what a run writes, in one place: the folder each copy goes
// into, the name each copy takes, and the names of the photos a recovery
// writes (from where each photo's header lies on its source, so that they
// sort in card order and are the same on every run over the same source). Front
// ends and tests build their texts and expectations from these, never from a
// spelled-out copy.

#include <cstdint>
#include <string>

namespace velkrane {

/// The folder each copy goes into, beside its source.
extern const char kOutputFolderName[];

/// The "PostProcessed" folder beside `source`, ending in a separator.
std::string OutputFolderFor(const std::string& source);

/// Where the copy of `source` goes: its own name in OutputFolderFor(source).
std::string TargetFor(const std::string& source);

/// Where the copy of a file found `relative` below a searched PATH goes when
/// copies are put under `output`; an empty `output` means beside the source.
std::string TargetFor(const std::string& source, const std::string& relative,
                      const std::string& output);

/// "SECTOR000000002048.X3F" for a header at sector 2048 (of 512 bytes,
/// whatever the device's own sector), with "_NNN" before the extension for a
/// header at byte NNN inside its sector, and "-K" for the K-th name tried
/// (K >= 2) when a different file has the first.
std::string RecoveredPhotoName(std::uint64_t offset, int attempt = 1);

/// RecoveredPhotoName + ".incomplete": what was left of a photo.
std::string IncompletePhotoName(std::uint64_t offset, int attempt = 1);

}  // namespace velkrane
