#pragma once

// The names of the photos a recovery writes, made from where each photo's
// header lies on its source: they sort in card order and are the same on
// every run over the same source.

#include <cstdint>
#include <string>

namespace velkrane {

/// "SECTOR000000002048.X3F" for a header at sector 2048 (of 512 bytes,
/// whatever the device's own sector), with "_NNN" before the extension for a
/// header at byte NNN inside its sector, and "-K" for the K-th name tried
/// (K >= 2) when a different file has the first.
std::string RecoveredPhotoName(std::uint64_t offset, int attempt = 1);

/// RecoveredPhotoName + ".incomplete": what was left of a photo.
std::string IncompletePhotoName(std::uint64_t offset, int attempt = 1);

}  // namespace velkrane
