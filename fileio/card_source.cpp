#include "fileio/card_source.h"

#include <algorithm>
#include <cstring>

#include "fileio/card_source_platform.h"
#include "fileio/error.h"
#include "fileio/file_io_platform.h"

// The read that survives a failing card, the same on every platform.

namespace velkrane {

namespace platform {

const char kSourceIsFolder[] =
    "it is a folder; name the card's device or an image file";
const char kSourceIsNoCard[] = "it is neither a device nor an image file";

void ThrowCannotOpenSource(const std::string& path, const std::string& why) {
  throw Error(std::string(kCannotOpen) + " " + path + ": " + why);
}

}  // namespace platform

namespace {

void AddUnreadable(std::vector<ByteRange>& unreadable, std::uint64_t begin,
                   std::uint64_t end) {
  if (!unreadable.empty() && unreadable.back().end == begin) {
    unreadable.back().end = end;
  } else {
    unreadable.push_back({begin, end});
  }
}

}  // namespace

std::size_t CardSource::Read(std::uint64_t offset, char* buffer,
                             std::size_t length,
                             std::vector<ByteRange>& unreadable) {
  if (offset % sector_size_ != 0) {
    throw Error("Cannot read " + path_ + ": offset " + std::to_string(offset) +
                " is not on a sector boundary");
  }
  if (offset >= size_) return 0;
  length =
      static_cast<std::size_t>(std::min<std::uint64_t>(length, size_ - offset));
  std::size_t done = 0;
  // One large read while the card answers; after a failure, the rest of the
  // request sector by sector, so only the bad sectors are lost.
  bool sector_by_sector = false;
  while (done < length) {
    const std::size_t left = length - done;
    std::size_t want = sector_by_sector ? std::min(left, sector_size_) : left;
    // A raw drive reads whole sectors only: a partial last one goes through
    // a sector of its own.
    const bool partial = want % sector_size_ != 0 && device_;
    std::vector<char> bounce;
    if (partial) {
      if (want > sector_size_) {
        want -= want % sector_size_;
      } else {
        bounce.resize(sector_size_);
      }
    }
    char* into = bounce.empty() ? buffer + done : bounce.data();
    const std::size_t asked = bounce.empty() ? want : bounce.size();
    const std::int64_t got =
        platform::ReadSourceAt(file_, offset + done, into, asked, path_);
    if (got == platform::kBadSectors) {
      if (sector_by_sector) {
        std::memset(buffer + done, 0, want);
        AddUnreadable(unreadable, offset + done, offset + done + want);
        done += want;
      } else {
        // The failed read may have stopped inside a sector (a FUSE file can):
        // that whole sector is read again, so what is lost is whole sectors.
        done -= done % sector_size_;
        sector_by_sector = true;
      }
      continue;
    }
    if (got == 0) break;  // the source ended early: it shrank under us
    const std::size_t useful = std::min(static_cast<std::size_t>(got), want);
    if (!bounce.empty()) std::memcpy(buffer + done, bounce.data(), useful);
    done += useful;
  }
  return done;
}

}  // namespace velkrane
