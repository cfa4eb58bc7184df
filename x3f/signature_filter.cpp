#include "x3f/signature_filter.h"

#include <cstring>

#include "x3f/cpu_features.h"
#include "x3f/x3f_structure.h"

namespace velkrane {

namespace {

constexpr unsigned char kTail[] = {'P', 'R', 'O', 'P'};
constexpr const auto& kDirectory = kDirectorySignature;

// Candidates are filtered a stretch at a time; only a stretch that passes is
// tested position by position. A skip-table scan stalls on each byte it reads
// to pick the next one, and was 20 times slower.
constexpr std::size_t kStretch = 256;

template <bool kWantTail, bool kWantDirectory>
bool StartsExactly(const unsigned char* at) {
  return (kWantTail && std::memcmp(at, kTail, sizeof kTail) == 0) ||
         (kWantDirectory &&
          std::memcmp(at, kDirectory, sizeof kDirectory) == 0);
}

// Whether the kStretch positions from `stretch` may start a wanted signature:
// its first byte with its fourth three bytes on ('P'..'P', 'S'..'d'). No
// early exit, so it vectorises; reads kStretch + 3 bytes.
template <bool kWantTail, bool kWantDirectory>
bool StretchMayHold(const unsigned char* stretch) {
  unsigned char maybe = 0;
  for (std::size_t k = 0; k < kStretch; ++k) {
    if (kWantTail) {
      maybe |= static_cast<unsigned char>((stretch[k] == kTail[0]) &
                                          (stretch[k + 3] == kTail[3]));
    }
    if (kWantDirectory) {
      maybe |= static_cast<unsigned char>((stretch[k] == kDirectory[0]) &
                                          (stretch[k + 3] == kDirectory[3]));
    }
  }
  return maybe != 0;
}

template <bool kWantTail, bool kWantDirectory>
std::size_t LastBelowStretches(const unsigned char* data, std::size_t lowest,
                               std::size_t end) {
  while (end-- > lowest) {
    if (StartsExactly<kWantTail, kWantDirectory>(data + end)) return end;
  }
  return kNoCandidate;
}

template <bool kWantTail, bool kWantDirectory>
std::size_t LastPortable(const unsigned char* data, std::size_t lowest,
                         std::size_t end) {
  while (end - lowest >= kStretch) {
    const unsigned char* stretch = data + end - kStretch;
    if (StretchMayHold<kWantTail, kWantDirectory>(stretch)) {
      for (std::size_t k = kStretch; k-- > 0;) {
        if (StartsExactly<kWantTail, kWantDirectory>(stretch + k)) {
          return end - kStretch + k;
        }
      }
    }
    end -= kStretch;
  }
  return LastBelowStretches<kWantTail, kWantDirectory>(data, lowest, end);
}

#ifdef VELKRANE_AVX2_SEARCH

// Where `first` holds byte `a` and `fourth` byte `d`, one byte per position.
__attribute__((target("avx2"))) inline __m256i PairMask(__m256i first,
                                                        __m256i fourth,
                                                        unsigned char a,
                                                        unsigned char d) {
  return _mm256_and_si256(
      _mm256_cmpeq_epi8(first, _mm256_set1_epi8(static_cast<char>(a))),
      _mm256_cmpeq_epi8(fourth, _mm256_set1_epi8(static_cast<char>(d))));
}

// The 32 positions from `at` that may start a wanted signature, one byte
// each: the same pairs of bytes the portable filter tests. lddqu, because a
// plain load gets folded into each compare that uses it, which doubles the
// (mostly line-splitting) loads.
template <bool kWantTail, bool kWantDirectory>
__attribute__((target("avx2"))) inline __m256i CandidateMask(
    const unsigned char* at) {
  const __m256i first =
      _mm256_lddqu_si256(reinterpret_cast<const __m256i*>(at));
  const __m256i fourth =
      _mm256_lddqu_si256(reinterpret_cast<const __m256i*>(at + 3));
  if (!kWantDirectory) return PairMask(first, fourth, kTail[0], kTail[3]);
  if (!kWantTail) {
    return PairMask(first, fourth, kDirectory[0], kDirectory[3]);
  }
  return _mm256_or_si256(PairMask(first, fourth, kTail[0], kTail[3]),
                         PairMask(first, fourth, kDirectory[0], kDirectory[3]));
}

template <bool kWantTail, bool kWantDirectory>
__attribute__((target("avx2"))) std::size_t LastAvx2(const unsigned char* data,
                                                     std::size_t lowest,
                                                     std::size_t end) {
  constexpr std::size_t kVector = 32;
  while (end - lowest >= kStretch) {
    const unsigned char* stretch = data + end - kStretch;
    __m256i any = _mm256_setzero_si256();
    for (std::size_t k = 0; k < kStretch; k += kVector) {
      any = _mm256_or_si256(
          any, CandidateMask<kWantTail, kWantDirectory>(stretch + k));
    }
    if (!_mm256_testz_si256(any, any)) {
      for (std::size_t k = kStretch; k > 0; k -= kVector) {
        const unsigned char* vector = stretch + k - kVector;
        auto bits = static_cast<unsigned>(_mm256_movemask_epi8(
            CandidateMask<kWantTail, kWantDirectory>(vector)));
        while (bits != 0) {
          const auto bit = static_cast<std::size_t>(31 - __builtin_clz(bits));
          if (StartsExactly<kWantTail, kWantDirectory>(vector + bit)) {
            return static_cast<std::size_t>(vector + bit - data);
          }
          bits &= ~(1u << bit);
        }
      }
    }
    end -= kStretch;
  }
  return LastBelowStretches<kWantTail, kWantDirectory>(data, lowest, end);
}

#endif

template <bool kWantTail, bool kWantDirectory>
std::size_t Last(const unsigned char* data, std::size_t lowest,
                 std::size_t end) {
#ifdef VELKRANE_AVX2_SEARCH
  if (HasAvx2()) return LastAvx2<kWantTail, kWantDirectory>(data, lowest, end);
#endif
  return LastPortable<kWantTail, kWantDirectory>(data, lowest, end);
}

}  // namespace

bool IsTailSignatureAt(const unsigned char* data, std::size_t pos) {
  return std::memcmp(data + pos, kTail, sizeof kTail) == 0;
}

std::size_t LastSignature(const unsigned char* data, std::size_t lowest,
                          std::size_t end, Signatures wanted) {
  if (end <= lowest) return kNoCandidate;
  switch (wanted) {
    case Signatures::kTail:
      return Last<true, false>(data, lowest, end);
    case Signatures::kDirectory:
      return Last<false, true>(data, lowest, end);
    case Signatures::kTailOrDirectory:
      break;
  }
  return Last<true, true>(data, lowest, end);
}

}  // namespace velkrane
