#pragma once

// The calls card_source.cpp builds CardSource::Read on, and the texts both
// platforms share. card_source_posix.cpp and card_source_win32.cpp each
// define them; nothing outside fileio/ includes this header.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fileio/file_io.h"

namespace velkrane::platform {

/// What follows "Cannot open PATH: " for a source that is a folder, and for
/// one that is neither a device nor a regular file.
extern const char kSourceIsFolder[];
extern const char kSourceIsNoCard[];

/// Throws "Cannot open PATH: WHY".
[[noreturn]] void ThrowCannotOpenSource(const std::string& path,
                                        const std::string& why);

/// A read that failed on the medium (EIO, a CRC error): that part is bad,
/// the rest of the source may still answer.
inline constexpr std::int64_t kBadSectors = -1;

/// Reads up to `size` bytes of the source at `offset`, and returns how many
/// came: 0 at the end, kBadSectors on a media error. Any other failure (the
/// device is gone) throws "Cannot read PATH: ...".
std::int64_t ReadSourceAt(const FileHandle& file, std::uint64_t offset,
                          void* data, std::size_t size,
                          const std::string& path);

}  // namespace velkrane::platform
