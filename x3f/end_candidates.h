#pragma once

#include <cstddef>
#include <cstdint>

namespace velkrane {

constexpr std::size_t kNoCandidate = SIZE_MAX;

/// The highest position p in [lowest, end) of `data` at which "SECd" or, when
/// `prop`, "PROP" starts, or kNoCandidate. data[end..end+3) must be readable.
std::size_t LastEndCandidate(const unsigned char* data, std::size_t lowest,
                             std::size_t end, bool prop);

}  // namespace velkrane
