#pragma once

// Which hand-vectorised code the searches may pick at run time. On x86-64
// ELF with GCC or clang the AVX2 versions are built beside the portable
// ones and chosen where the processor has AVX2; everywhere else only the
// portable ones exist.

#if defined(__x86_64__) && defined(__ELF__) && defined(__GNUC__)
#include <immintrin.h>
#define VELKRANE_AVX2_SEARCH 1

namespace velkrane {

inline bool HasAvx2() {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2;
}

}  // namespace velkrane
#endif
