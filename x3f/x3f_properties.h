#pragma once

// The properties an X3F keeps in its PROP section: "SECp", a version, the
// entry count, the character format (0: UTF-16LE), a reserved word, the
// length of the character data, then one (name, value) pair of character
// offsets per entry and the zero-ended strings they point to.

#include <cstdint>
#include <optional>

#include "x3f/x3f_structure.h"

namespace velkrane {

/// A PROP section is read only up to this size; camera ones are a few KB.
inline constexpr std::uint32_t kMaxPropertiesLength = 1 << 20;

/// The capture time a complete X3F's PROP section holds ("TIME", seconds
/// since 1970), read through `read` at the offsets `verdict` lists; nothing
/// when there is no such section, entry or number. Only a failed read throws.
std::optional<std::int64_t> CaptureTime(const ReadAtFunction& read,
                                        const X3fVerdict& verdict);

}  // namespace velkrane
