#pragma once

// The one filter every search in x3f/ runs over its buffers: where "PROP"
// (the rule's tail) or "SECd" (a directory) may start, tested cheaply over
// whole stretches, exactly only where a stretch passes.

#include <cstddef>
#include <cstdint>

namespace velkrane {

constexpr std::size_t kNoCandidate = SIZE_MAX;

/// Which signatures a search looks for.
enum class Signatures { kTail, kDirectory, kTailOrDirectory };

/// True when data[pos..pos+3] reads "PROP". The caller keeps pos + 4 <= size.
bool IsTailSignatureAt(const unsigned char* data, std::size_t pos);

/// The highest position p in [lowest, end) of `data` at which one of the
/// `wanted` signatures starts, or kNoCandidate. data[end..end+3) must be
/// readable.
std::size_t LastSignature(const unsigned char* data, std::size_t lowest,
                          std::size_t end, Signatures wanted);

}  // namespace velkrane
