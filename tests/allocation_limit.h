#pragma once

#include <cstddef>

namespace velkrane::testing {

/// While one lives, every `new` of `bytes` or more throws std::bad_alloc, as
/// when memory runs out for a large buffer; small allocations still work.
class ScopedAllocationLimit {
 public:
  explicit ScopedAllocationLimit(std::size_t bytes);
  ~ScopedAllocationLimit();
  ScopedAllocationLimit(const ScopedAllocationLimit&) = delete;
  ScopedAllocationLimit& operator=(const ScopedAllocationLimit&) = delete;
};

}  // namespace velkrane::testing
