#pragma once

// The recovery of every photo on a card: each source is read once, front to
// back, in large blocks, through the forward search (x3f/forward_search.h).
// Each complete photo goes into the output folder as a repaired copy does:
// a temporary file written as the card streams by, checked as a complete
// X3F, flushed, renamed, the folder flushed. Nothing is ever written to a
// source.

#include <cstdint>
#include <string>
#include <vector>

#include "fileio/card_source.h"
#include "x3f/x3f_structure.h"

namespace velkrane {

enum class PhotoResult {
  kRecovered,
  kAlreadyThere,  // a file with the same bytes has the photo's name
  kWouldRecover,  // dry run
  kIncomplete,
  kFailed,
};

/// Why a header is reported incomplete.
extern const char kNoDirectoryFound[];
extern const char kUnreadableInside[];

/// What became of one photo found.
struct PhotoReport {
  std::string source;
  std::int64_t offset = 0;  // of its header on the source
  /// From its header to its directory's end; -1 for an incomplete photo.
  std::int64_t length = -1;
  PhotoResult result = PhotoResult::kFailed;
  /// The file written or found there (for an incomplete photo, what was kept
  /// of it); empty when there is none.
  std::string target;
  X3fVerdict verdict;  // of the bytes, where it has a length
  /// Why it failed, or why it is incomplete; empty otherwise.
  std::string error;
};

/// What the pass reads at a time: large for a card, a multiple of every
/// sector size, and small enough that the block is still in the processor's
/// cache when the search looks at it (4 MB blocks made a pass over an image
/// in the page cache take half again as long as reading it).
inline constexpr std::size_t kRecoverBlockSize = 1024 * 1024;

struct RecoverOptions {
  std::string output;  // the folder the photos go into; created if missing
  bool dry_run = false;
  /// Saves what is left of an incomplete photo, from its header to the next
  /// header, as ....X3F.incomplete.
  bool keep_incomplete = false;
  std::size_t block_size = kRecoverBlockSize;
};

struct RecoverProgress {
  std::string source;
  std::uint64_t read = 0;  // of this source
  std::uint64_t size = 0;
  int found = 0;  // photos found so far, over every source
};

struct RecoverSummary {
  int found = 0;
  int recovered = 0;
  int already_there = 0;
  int would_recover = 0;
  int incomplete = 0;
  int failed = 0;
  int sources_failed = 0;
  std::uint64_t bytes_read = 0;
  std::uint64_t unreadable_bytes = 0;
  /// Ctrl+C: the pass stopped before `stopped_at` of `stopped_source`.
  bool stopped = false;
  std::string stopped_source;
  std::uint64_t stopped_at = 0;
  /// Why the command is wrong (the output folder lies on a source); nothing
  /// was read or written then.
  std::string refused;
};

/// What the pass tells the front end, on the pass's thread.
class RecoverView {
 public:
  virtual ~RecoverView() = default;
  /// After each block.
  virtual void Progress(const RecoverProgress&) {}
  /// In the order the photos are settled: source order, except that a photo
  /// given up waits for the header after it.
  virtual void PhotoDone(const PhotoReport& report) = 0;
  /// A source that could not be opened or stopped answering.
  virtual void SourceFailed(const std::string& source,
                            const std::string& error) = 0;
  /// Asked before each block; true ends the pass there (Ctrl+C).
  virtual bool StopRequested() { return false; }
};

/// Opens every source, refuses an output folder on any of them, then
/// recovers each in turn. Never throws for a failure of a source or a photo.
RecoverSummary RecoverCards(const std::vector<std::string>& sources,
                            const RecoverOptions& options, RecoverView& view);

}  // namespace velkrane
