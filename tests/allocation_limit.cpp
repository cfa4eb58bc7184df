// Replaces the global allocation functions of the test program, so that a test
// can make large allocations fail without starving the rest of the process.

#include "allocation_limit.h"

#include <cstdlib>
#include <new>

namespace {

std::size_t failing_from = 0;  // 0: nothing fails

}  // namespace

namespace velkrane::testing {

ScopedAllocationLimit::ScopedAllocationLimit(std::size_t bytes) {
  failing_from = bytes;
}

ScopedAllocationLimit::~ScopedAllocationLimit() { failing_from = 0; }

}  // namespace velkrane::testing

void* operator new(std::size_t size) {
  if (failing_from != 0 && size >= failing_from) throw std::bad_alloc();
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}

void operator delete(void* block) noexcept { std::free(block); }

void operator delete(void* block, std::size_t) noexcept { std::free(block); }
