#pragma once

#include <cstdint>
#include <functional>

namespace velkrane::bench {

/// The peak resident memory, in KiB, of a child process forked from this one
/// that runs `work` and exits; the child's rusage as its parent collects it.
/// Children forked back to back start from the same pages, so the difference
/// between two of them is what their work added. Throws when `work` throws.
std::int64_t PeakRssOfChildKiB(const std::function<void()>& work);

}  // namespace velkrane::bench
