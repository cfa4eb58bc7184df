#include "x3f/forward_search.h"

#include <algorithm>
#include <cstring>

#include "x3f/cpu_features.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace velkrane {

namespace {

// A directory and its offset fit in this many bytes after its "SECd": the
// scan stops that far short of a block's end until the next block arrives.
constexpr std::int64_t kLookahead = X3fEndFor(0, kMaxX3fSections);
// What is kept of each header for the check: more than any version's header.
constexpr std::size_t kFirstBytes = 4096;
// Signatures remembered at most (16 bytes each): a card of nothing but
// "SEC" costs no more than this.
constexpr std::size_t kMaxSignatures = std::size_t{1} << 20;
constexpr std::int64_t kPlausibleHeaderSize = 8;

// The first position p in [from, end) where "FO" starts, or with kSections
// also "SE"; `end` when there is none. data[end] must be readable. This is
// the whole cost of a pass over a card without photos: 16 positions a load
// with SSE2, 32 with AVX2 (NextCandidateAvx2).
template <bool kSections>
std::size_t NextCandidatePortable(const unsigned char* data, std::size_t from,
                                  std::size_t end) {
  std::size_t pos = from;
#ifdef __SSE2__
  const __m128i f = _mm_set1_epi8('F'), o = _mm_set1_epi8('O');
  const __m128i s = _mm_set1_epi8('S'), e = _mm_set1_epi8('E');
  const auto hits_at = [&](std::size_t at) {
    const __m128i here =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
    const __m128i next =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + 1));
    __m128i hits =
        _mm_and_si128(_mm_cmpeq_epi8(here, f), _mm_cmpeq_epi8(next, o));
    if (kSections) {
      hits = _mm_or_si128(hits, _mm_and_si128(_mm_cmpeq_epi8(here, s),
                                              _mm_cmpeq_epi8(next, e)));
    }
    return hits;
  };
  // 64 bytes a step with one branch; the step with a hit is searched again
  // 16 bytes at a time below.
  for (; pos + 64 <= end; pos += 64) {
    const __m128i any =
        _mm_or_si128(_mm_or_si128(hits_at(pos), hits_at(pos + 16)),
                     _mm_or_si128(hits_at(pos + 32), hits_at(pos + 48)));
    if (_mm_movemask_epi8(any) != 0) break;
  }
  for (; pos + 16 <= end; pos += 16) {
    const int mask = _mm_movemask_epi8(hits_at(pos));
    if (mask != 0) return pos + static_cast<std::size_t>(__builtin_ctz(mask));
  }
#endif
  for (; pos < end; ++pos) {
    const unsigned char c = data[pos];
    if ((c == 'F' && data[pos + 1] == 'O') ||
        (kSections && c == 'S' && data[pos + 1] == 'E')) {
      return pos;
    }
  }
  return end;
}

#ifdef VELKRANE_AVX2_SEARCH

// The 32 positions from `at` where "FO" (or with kSections "SE") starts, one
// byte each. lddqu, so that each load is made once for all its compares.
template <bool kSections>
__attribute__((target("avx2"))) inline __m256i PairsAt(
    const unsigned char* at) {
  const __m256i here = _mm256_lddqu_si256(reinterpret_cast<const __m256i*>(at));
  const __m256i next =
      _mm256_lddqu_si256(reinterpret_cast<const __m256i*>(at + 1));
  __m256i hits =
      _mm256_and_si256(_mm256_cmpeq_epi8(here, _mm256_set1_epi8('F')),
                       _mm256_cmpeq_epi8(next, _mm256_set1_epi8('O')));
  if (kSections) {
    hits = _mm256_or_si256(
        hits, _mm256_and_si256(_mm256_cmpeq_epi8(here, _mm256_set1_epi8('S')),
                               _mm256_cmpeq_epi8(next, _mm256_set1_epi8('E'))));
  }
  return hits;
}

// As NextCandidatePortable, 128 positions a step.
template <bool kSections>
__attribute__((target("avx2"))) std::size_t NextCandidateAvx2(
    const unsigned char* data, std::size_t from, std::size_t end) {
  std::size_t pos = from;
  for (; pos + 128 <= end; pos += 128) {
    const unsigned char* at = data + pos;
    const __m256i any = _mm256_or_si256(
        _mm256_or_si256(PairsAt<kSections>(at), PairsAt<kSections>(at + 32)),
        _mm256_or_si256(PairsAt<kSections>(at + 64),
                        PairsAt<kSections>(at + 96)));
    if (!_mm256_testz_si256(any, any)) break;
  }
  for (; pos + 32 <= end; pos += 32) {
    const auto mask = static_cast<unsigned>(
        _mm256_movemask_epi8(PairsAt<kSections>(data + pos)));
    if (mask != 0) return pos + static_cast<std::size_t>(__builtin_ctz(mask));
  }
  return NextCandidatePortable<kSections>(data, pos, end);
}

#endif

template <bool kSections>
std::size_t NextCandidateOf(const unsigned char* data, std::size_t from,
                            std::size_t end) {
#ifdef VELKRANE_AVX2_SEARCH
  if (HasAvx2()) return NextCandidateAvx2<kSections>(data, from, end);
#endif
  return NextCandidatePortable<kSections>(data, from, end);
}

std::size_t NextCandidate(const unsigned char* data, std::size_t from,
                          std::size_t end, bool sections) {
  return sections ? NextCandidateOf<true>(data, from, end)
                  : NextCandidateOf<false>(data, from, end);
}

}  // namespace

bool IsPlausibleX3fHeader(const unsigned char* data) {
  if (!IsX3fHeader(data)) return false;
  const std::uint32_t version = ReadUint32(data + 4);
  const std::uint32_t major = version >> 16;
  return major >= 2 && major <= 4 && (version & 0xFFFF) < 256;
}

X3fForwardSearch::X3fForwardSearch(ForwardSearchListener& listener,
                                   std::size_t block_size)
    : listener_(listener),
      block_size_(block_size),
      // One byte more than is ever held: the candidate test looks one ahead.
      window_(block_size + static_cast<std::size_t>(kLookahead) + 1) {}

unsigned char* X3fForwardSearch::Room() {
  // What is not settled yet stays: a directory may begin in it.
  const auto keep_from = static_cast<std::size_t>(scanned_ - held_from_);
  std::memmove(window_.data(), window_.data() + keep_from, held_ - keep_from);
  held_ -= keep_from;
  held_from_ = scanned_;
  return window_.data() + held_;
}

void X3fForwardSearch::Add(std::size_t size, bool last) {
  held_ += std::min(size, block_size_);
  const std::int64_t limit =
      last ? HeldTo() : std::max(scanned_, HeldTo() - kLookahead);
  ScanTo(limit);
  scanned_ = limit;
  // No directory can end a header's photo within the bound any more.
  while (!open_.empty() &&
         open_.front().offset + kMaxFoundPhotoLength - 16 < limit) {
    GiveUp(0, open_.front().offset + kMaxFoundPhotoLength);
  }
  if (last) {
    while (!open_.empty()) GiveUp(0, HeldTo());
  }
}

void X3fForwardSearch::ScanTo(std::int64_t limit) {
  const unsigned char* base = window_.data();
  const auto end = static_cast<std::size_t>(limit - held_from_);
  for (std::size_t pos = static_cast<std::size_t>(scanned_ - held_from_);
       (pos = NextCandidate(base, pos, end, !open_.empty())) < end; ++pos) {
    const std::int64_t offset = held_from_ + static_cast<std::int64_t>(pos);
    const std::size_t room = held_ - pos;
    if (base[pos] == 'F') {
      if (room >= kPlausibleHeaderSize && IsPlausibleX3fHeader(base + pos)) {
        HeaderAt(offset);
      }
    } else if (room >= 4 && base[pos + 2] == 'C' && !open_.empty()) {
      if (signatures_.size() == kMaxSignatures) signatures_.pop_front();
      Signature signature;
      signature.offset = offset;
      std::memcpy(signature.bytes, base + pos, 4);
      signatures_.push_back(signature);
      if (base[pos + 3] == 'd') DirectoryAt(offset);
    }
  }
}

void X3fForwardSearch::HeaderAt(std::int64_t offset) {
  if (open_.size() == kMaxOpenHeaders) GiveUp(0, offset);
  for (OpenHeader& header : open_) {
    if (header.next_header < 0) header.next_header = offset;
  }
  OpenHeader header;
  header.offset = offset;
  const unsigned char* first = BytesAt(offset);
  header.first_bytes.assign(
      first, first + std::min<std::int64_t>(kFirstBytes, HeldTo() - offset));
  open_.push_back(std::move(header));
  listener_.HeaderFound(offset);
}

void X3fForwardSearch::DirectoryAt(std::int64_t offset) {
  const unsigned char* directory = BytesAt(offset);
  if (HeldTo() - offset < 12) return;
  const std::uint32_t count = ReadUint32(directory + 8);
  if (count > kMaxX3fSections) return;
  const std::int64_t end = X3fEndFor(offset, count);
  if (end > HeldTo()) return;
  // The directory's own offset names the one header it can belong to.
  const std::int64_t header_offset = offset - ReadUint32(BytesAt(end - 4));
  const auto found = std::find_if(open_.begin(), open_.end(),
                                  [header_offset](const OpenHeader& h) {
                                    return h.offset == header_offset;
                                  });
  if (found == open_.end() || end - header_offset > kMaxFoundPhotoLength) {
    return;
  }
  const OpenHeader& header = *found;
  const X3fVerdict verdict = CheckX3fStructure(
      [this, &header](std::int64_t at, void* data, std::size_t size) {
        ReadForCheck(header, at, data, size);
      },
      end - header_offset);
  if (!verdict.complete) return;

  // A photo that starts later and is whole took the place of every older
  // header's end: those are cut short or overwritten.
  GiveUpOlderThan(header_offset);
  listener_.PhotoComplete(header_offset, end, verdict);
  open_.erase(open_.begin());
  while (!open_.empty() && open_.front().offset < end) {
    listener_.HeaderInsidePhoto(open_.front().offset);
    open_.erase(open_.begin());
  }
  if (open_.empty()) signatures_.clear();
}

void X3fForwardSearch::GiveUp(std::size_t index, std::int64_t end) {
  const OpenHeader& header = open_[index];
  if (header.next_header >= 0) end = std::min(end, header.next_header);
  end = std::min(end, header.offset + kMaxFoundPhotoLength);
  const std::int64_t offset = header.offset;
  open_.erase(open_.begin() + static_cast<std::ptrdiff_t>(index));
  listener_.PhotoIncomplete(offset, end);
  // Signatures below the oldest header still open are of no use.
  const std::int64_t oldest = open_.empty() ? HeldTo() : open_.front().offset;
  while (!signatures_.empty() && signatures_.front().offset < oldest) {
    signatures_.pop_front();
  }
}

void X3fForwardSearch::GiveUpOlderThan(std::int64_t position) {
  while (!open_.empty() && open_.front().offset < position) {
    GiveUp(0, position);
  }
}

void X3fForwardSearch::ReadForCheck(const OpenHeader& header,
                                    std::int64_t offset, void* data,
                                    std::size_t size) const {
  // Whatever was neither kept nor is still held reads as zeros: the check
  // then finds no signature there, as the bytes on the card did not have one
  // either (every "SEC" since the header was kept).
  auto* out = static_cast<unsigned char*>(data);
  std::memset(out, 0, size);
  const std::int64_t from = header.offset + offset;
  const std::int64_t to = from + static_cast<std::int64_t>(size);
  const auto copy = [&](std::int64_t begin, const unsigned char* bytes,
                        std::int64_t length) {
    const std::int64_t lo = std::max(from, begin);
    const std::int64_t hi = std::min(to, begin + length);
    if (lo < hi) {
      std::memcpy(out + (lo - from), bytes + (lo - begin),
                  static_cast<std::size_t>(hi - lo));
    }
  };
  copy(header.offset, header.first_bytes.data(),
       static_cast<std::int64_t>(header.first_bytes.size()));
  auto it = std::lower_bound(
      signatures_.begin(), signatures_.end(), from - 3,
      [](const Signature& s, std::int64_t at) { return s.offset < at; });
  for (; it != signatures_.end() && it->offset < to; ++it) {
    copy(it->offset, it->bytes, 4);
  }
  copy(held_from_, window_.data(), static_cast<std::int64_t>(held_));
}

}  // namespace velkrane
