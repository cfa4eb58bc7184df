#pragma once

// The forward search over a whole card: every X3F header at any byte offset,
// and for each the first directory after it that makes the bytes from the
// header to that directory's end one complete X3F, every offset counted from
// the header. The card streams through in blocks, once; what is held is one
// block, a directory's length behind it, the first bytes of each header still
// open and the section signatures seen since the oldest of them.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "x3f/x3f_structure.h"

namespace velkrane {

/// A photo's bytes, from its header to its directory's end, are at most this
/// long; the largest camera files are about 80 MB.
inline constexpr std::int64_t kMaxFoundPhotoLength = std::int64_t{1} << 30;

/// Headers waiting for their directory at once; beyond this the oldest is
/// given up as incomplete.
inline constexpr std::size_t kMaxOpenHeaders = 32;

/// True when data[0..7] reads "FOVb" and a version from 2.0 to 4.x (major in
/// the high half, minor in the low half below 256).
bool IsPlausibleX3fHeader(const unsigned char* data);

/// What the search settles, told in source order of the positions scanned.
class ForwardSearchListener {
 public:
  virtual ~ForwardSearchListener() = default;
  /// A plausible header at `offset`: the bytes from there on may be a photo.
  virtual void HeaderFound(std::int64_t offset) = 0;
  /// Bytes [offset, end) are one complete X3F, as `verdict` says.
  virtual void PhotoComplete(std::int64_t offset, std::int64_t end,
                             const X3fVerdict& verdict) = 0;
  /// No directory completes the header at `offset`. `end` is where what is
  /// left of it stops: the next header, the length bound or the source's end.
  virtual void PhotoIncomplete(std::int64_t offset, std::int64_t end) = 0;
  /// The header at `offset` lies inside the complete photo just told: it is
  /// part of that photo's bytes, no photo of its own.
  virtual void HeaderInsidePhoto(std::int64_t offset) = 0;
};

class X3fForwardSearch {
 public:
  /// Blocks of up to `block_size` bytes at a time.
  X3fForwardSearch(ForwardSearchListener& listener, std::size_t block_size);

  /// Room for the next block of the source (up to block_size bytes).
  unsigned char* Room();
  /// The `size` bytes just put into Room() follow the bytes before; `last`
  /// when the source ends with them. Tells the listener what they settle.
  void Add(std::size_t size, bool last);

  /// Every position below this is settled; the bytes from HeldFrom() to
  /// HeldTo() stay readable through BytesAt until the next Room().
  std::int64_t Scanned() const { return scanned_; }
  std::int64_t HeldFrom() const { return held_from_; }
  std::int64_t HeldTo() const {
    return held_from_ + static_cast<std::int64_t>(held_);
  }
  /// The held byte at source offset `offset` and those after it.
  const unsigned char* BytesAt(std::int64_t offset) const {
    return window_.data() + (offset - held_from_);
  }

 private:
  struct OpenHeader {
    std::int64_t offset = 0;
    std::int64_t next_header = -1;  // the next plausible header, once seen
    std::vector<unsigned char> first_bytes;
  };
  struct Signature {
    std::int64_t offset = 0;
    unsigned char bytes[4] = {};
  };

  void ScanTo(std::int64_t limit);
  void HeaderAt(std::int64_t offset);
  void DirectoryAt(std::int64_t offset);
  void GiveUp(std::size_t index, std::int64_t end);
  void GiveUpOlderThan(std::int64_t position);
  void ReadForCheck(const OpenHeader& header, std::int64_t offset, void* data,
                    std::size_t size) const;

  ForwardSearchListener& listener_;
  std::size_t block_size_;
  std::vector<unsigned char> window_;
  std::int64_t held_from_ = 0;  // source offset of window_[0]
  std::size_t held_ = 0;        // bytes held in window_
  std::int64_t scanned_ = 0;
  std::vector<OpenHeader> open_;      // in source order
  std::deque<Signature> signatures_;  // "SEC?" since the oldest open header
};

}  // namespace velkrane
