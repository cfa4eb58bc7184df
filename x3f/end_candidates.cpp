#include "x3f/end_candidates.h"

// On x86-64 ELF with GCC or clang, a hand-vectorised AVX2 search is picked at
// run time; everywhere else (and on CPUs without AVX2) the portable one runs.
#if defined(__x86_64__) && defined(__ELF__) && defined(__GNUC__)
#include <immintrin.h>
#define VELKRANE_AVX2_CANDIDATES 1
#endif

namespace velkrane {

namespace {

constexpr std::size_t kStretch = 256;

bool StartsExactly(const unsigned char* at, bool prop) {
  return (prop && at[0] == 'P' && at[1] == 'R' && at[2] == 'O' &&
          at[3] == 'P') ||
         (at[0] == 'S' && at[1] == 'E' && at[2] == 'C' && at[3] == 'd');
}

// Whether the kStretch positions from `stretch` may hold "SECd" (an 'S' with
// a 'd' three bytes on) or "PROP" (a 'P' with another 'P' three on). No early
// exit, so it vectorises; reads kStretch + 3 bytes.
template <bool kProp>
bool StretchMayHold(const unsigned char* stretch) {
  unsigned char maybe = 0;
  for (std::size_t k = 0; k < kStretch; ++k) {
    maybe |= static_cast<unsigned char>((stretch[k] == 'S') &
                                        (stretch[k + 3] == 'd'));
    if (kProp) {
      maybe |= static_cast<unsigned char>((stretch[k] == 'P') &
                                          (stretch[k + 3] == 'P'));
    }
  }
  return maybe != 0;
}

template <bool kProp>
std::size_t LastPortable(const unsigned char* data, std::size_t lowest,
                         std::size_t end) {
  while (end - lowest >= kStretch) {
    const unsigned char* stretch = data + end - kStretch;
    if (StretchMayHold<kProp>(stretch)) {
      for (std::size_t k = kStretch; k-- > 0;) {
        if (StartsExactly(stretch + k, kProp)) return end - kStretch + k;
      }
    }
    end -= kStretch;
  }
  while (end-- > lowest) {
    if (StartsExactly(data + end, kProp)) return end;
  }
  return kNoCandidate;
}

#ifdef VELKRANE_AVX2_CANDIDATES

// The 32 positions from `at` that may start "SECd" or, with kProp, "PROP",
// one byte each: the same pairs of bytes the portable filter tests. lddqu,
// because a plain load gets folded into each compare that uses it, which
// doubles the (mostly line-splitting) loads.
template <bool kProp>
__attribute__((target("avx2"))) inline __m256i CandidateMask(
    const unsigned char* at) {
  const __m256i first =
      _mm256_lddqu_si256(reinterpret_cast<const __m256i*>(at));
  const __m256i fourth =
      _mm256_lddqu_si256(reinterpret_cast<const __m256i*>(at + 3));
  const __m256i directory =
      _mm256_and_si256(_mm256_cmpeq_epi8(first, _mm256_set1_epi8('S')),
                       _mm256_cmpeq_epi8(fourth, _mm256_set1_epi8('d')));
  if (!kProp) return directory;
  const __m256i p = _mm256_set1_epi8('P');
  return _mm256_or_si256(directory,
                         _mm256_and_si256(_mm256_cmpeq_epi8(first, p),
                                          _mm256_cmpeq_epi8(fourth, p)));
}

template <bool kProp>
__attribute__((target("avx2"))) std::size_t LastAvx2(const unsigned char* data,
                                                     std::size_t lowest,
                                                     std::size_t end) {
  constexpr std::size_t kVector = 32;
  while (end - lowest >= kStretch) {
    const unsigned char* stretch = data + end - kStretch;
    __m256i any = _mm256_setzero_si256();
    for (std::size_t k = 0; k < kStretch; k += kVector) {
      any = _mm256_or_si256(any, CandidateMask<kProp>(stretch + k));
    }
    if (!_mm256_testz_si256(any, any)) {
      for (std::size_t k = kStretch; k > 0; k -= kVector) {
        const unsigned char* vector = stretch + k - kVector;
        auto bits = static_cast<unsigned>(
            _mm256_movemask_epi8(CandidateMask<kProp>(vector)));
        while (bits != 0) {
          const auto bit = static_cast<std::size_t>(31 - __builtin_clz(bits));
          if (StartsExactly(vector + bit, kProp)) {
            return static_cast<std::size_t>(vector + bit - data);
          }
          bits &= ~(1u << bit);
        }
      }
    }
    end -= kStretch;
  }
  while (end-- > lowest) {
    if (StartsExactly(data + end, kProp)) return end;
  }
  return kNoCandidate;
}

#endif

}  // namespace

std::size_t LastEndCandidate(const unsigned char* data, std::size_t lowest,
                             std::size_t end, bool prop) {
#ifdef VELKRANE_AVX2_CANDIDATES
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) {
    return prop ? LastAvx2<true>(data, lowest, end)
                : LastAvx2<false>(data, lowest, end);
  }
#endif
  return prop ? LastPortable<true>(data, lowest, end)
              : LastPortable<false>(data, lowest, end);
}

}  // namespace velkrane
