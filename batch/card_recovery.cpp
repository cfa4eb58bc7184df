#include "batch/card_recovery.h"

#include <algorithm>
#include <functional>
#include <new>
#include <optional>

#include "batch/output_names.h"
#include "fileio/error.h"
#include "fileio/file_io.h"
#include "fileio/path_parts.h"
#include "x3f/forward_search.h"
#include "x3f/x3f_properties.h"

namespace velkrane {

const char kNoDirectoryFound[] = "no directory makes it a complete X3F";
const char kUnreadableInside[] = "some of its bytes could not be read";

namespace {

// Names tried for one photo before it fails: each a different file already.
constexpr int kNameAttempts = 100;
constexpr std::size_t kCompareBlock = 1 << 20;

using NameFor = std::string (*)(std::uint64_t offset, int attempt);

// True when `path` holds exactly the first `length` bytes of `copy`.
bool SameBytes(const std::string& path, const OutputFile& copy,
               std::int64_t length) {
  const InputFile file(path);
  if (file.Size() != length) return false;
  std::vector<unsigned char> theirs(kCompareBlock), ours(kCompareBlock);
  for (std::int64_t at = 0; at < length;) {
    const auto size = static_cast<std::size_t>(
        std::min<std::int64_t>(length - at, kCompareBlock));
    file.ReadAt(at, theirs.data(), size);
    copy.ReadAt(at, ours.data(), size);
    if (!std::equal(ours.begin(), ours.begin() + size, theirs.begin())) {
      return false;
    }
    at += static_cast<std::int64_t>(size);
  }
  return true;
}

// Puts one written copy on the disk under its first free name, or finds it
// there already; the one place a recovered file is committed, so that a
// scheduler can take it over. Returns kRecovered or kAlreadyThere and sets
// `target`; throws velkrane::Error.
PhotoResult CommitPhoto(OutputFile& copy, const std::string& folder,
                        std::int64_t offset, NameFor name,
                        std::string& target) {
  for (int attempt = 1; attempt <= kNameAttempts; ++attempt) {
    target = folder + name(static_cast<std::uint64_t>(offset), attempt);
    const EntryKind kind = KindOf(target);
    if (kind == EntryKind::kFile) {
      if (SameBytes(target, copy, copy.Size())) {
        return PhotoResult::kAlreadyThere;
      }
      continue;
    }
    if (kind == EntryKind::kFolder) continue;
    copy.SetTarget(target);
    // Never over a file: one that appeared meanwhile fails this photo.
    copy.CommitNew();
    return PhotoResult::kRecovered;
  }
  throw Error("Cannot write " + target + ": every name is taken");
}

ReadAtFunction ReaderOf(const OutputFile& copy) {
  return [&copy](std::int64_t offset, void* data, std::size_t size) {
    copy.ReadAt(offset, data, size);
  };
}

class CardPass final : public ForwardSearchListener {
 public:
  CardPass(CardSource& source, const RecoverOptions& options, RecoverView& view,
           RecoverSummary& summary)
      : source_(source),
        options_(options),
        view_(view),
        summary_(summary),
        folder_(WithTrailingSeparator(options.output)),
        search_(*this, options.block_size) {}

  void Run() {
    std::uint64_t offset = 0;
    const std::uint64_t size = source_.Size();
    for (;;) {
      if (view_.StopRequested()) {
        summary_.stopped = true;
        summary_.stopped_source = source_.Path();
        summary_.stopped_at = offset;
        return;
      }
      unsigned char* room = search_.Room();
      const auto wanted = static_cast<std::size_t>(
          std::min<std::uint64_t>(options_.block_size, size - offset));
      std::vector<ByteRange> unreadable;
      const std::size_t got =
          wanted == 0 ? 0
                      : source_.Read(offset, reinterpret_cast<char*>(room),
                                     wanted, unreadable);
      for (const ByteRange& range : unreadable) {
        summary_.unreadable_bytes += range.end - range.begin;
        unreadable_.push_back(range);
      }
      offset += got;
      summary_.bytes_read += got;
      const bool last = got < wanted || offset >= size;
      search_.Add(got, last);
      for (OpenPhoto& photo : open_) WriteUpTo(photo, search_.Scanned());
      ForgetUnreadableBefore(open_.empty() ? search_.Scanned()
                                           : open_.front().offset);
      view_.Progress({source_.Path(), offset, size, summary_.found});
      if (last) return;
    }
  }

  void HeaderFound(std::int64_t offset) override {
    OpenPhoto photo;
    photo.offset = offset;
    photo.written = offset;
    if (!options_.dry_run) {
      try {
        photo.copy.emplace(
            folder_ + RecoveredPhotoName(static_cast<std::uint64_t>(offset)));
      } catch (const std::exception& e) {
        photo.error = e.what();
      }
    }
    open_.push_back(std::move(photo));
  }

  void PhotoComplete(std::int64_t offset, std::int64_t end,
                     const X3fVerdict& verdict) override {
    OpenPhoto photo = Take(offset);
    PhotoReport report = ReportOf(offset);
    report.length = end - offset;
    report.verdict = verdict;
    if (Unreadable(offset, end)) {
      report.length = -1;
      report.result = PhotoResult::kIncomplete;
      report.error = kUnreadableInside;
      Keep(photo, end, report);
    } else if (options_.dry_run) {
      report.result = PhotoResult::kWouldRecover;
    } else {
      WriteUpTo(photo, end);
      try {
        if (!photo.error.empty()) throw Error(photo.error);
        OutputFile& copy = *photo.copy;
        // The bytes as written must be the photo the search found.
        report.verdict = CheckX3fStructure(copy, report.length);
        if (!report.verdict.complete) throw Error(kStreamReadError);
        if (const auto time = CaptureTime(ReaderOf(copy), report.verdict)) {
          copy.SetModificationTime(*time);
        }
        report.result = CommitPhoto(copy, folder_, offset, RecoveredPhotoName,
                                    report.target);
      } catch (const std::bad_alloc&) {
        Fail(report, kOutOfMemoryError);
      } catch (const std::exception& e) {
        Fail(report, e.what());
      }
    }
    Tell(report);
  }

  void PhotoIncomplete(std::int64_t offset, std::int64_t end) override {
    OpenPhoto photo = Take(offset);
    PhotoReport report = ReportOf(offset);
    report.result = PhotoResult::kIncomplete;
    report.error = kNoDirectoryFound;
    Keep(photo, end, report);
    Tell(report);
  }

  void HeaderInsidePhoto(std::int64_t offset) override { Take(offset); }

 private:
  struct OpenPhoto {
    std::int64_t offset = 0;
    std::optional<OutputFile> copy;  // the bytes from the header on
    std::int64_t written = 0;        // source offset the copy has reached
    std::string error;               // a write that failed
  };

  OpenPhoto Take(std::int64_t offset) {
    const auto found = std::find_if(
        open_.begin(), open_.end(),
        [offset](const OpenPhoto& p) { return p.offset == offset; });
    OpenPhoto photo = std::move(*found);
    open_.erase(found);
    return photo;
  }

  PhotoReport ReportOf(std::int64_t offset) const {
    PhotoReport report;
    report.source = source_.Path();
    report.offset = offset;
    return report;
  }

  void WriteUpTo(OpenPhoto& photo, std::int64_t to) {
    if (!photo.copy || !photo.error.empty() || to <= photo.written) return;
    try {
      photo.copy->WriteAt(photo.written - photo.offset,
                          search_.BytesAt(photo.written),
                          static_cast<std::size_t>(to - photo.written));
    } catch (const std::exception& e) {
      // Stop writing it, and keep no temporary for it: the disk may be full.
      photo.error = e.what();
      photo.copy.reset();
    }
    photo.written = to;
  }

  // With --keep-incomplete, saves [offset, end) of what was left.
  void Keep(OpenPhoto& photo, std::int64_t end, PhotoReport& report) {
    if (!options_.keep_incomplete || !photo.copy) return;
    WriteUpTo(photo, std::min(end, search_.HeldTo()));
    if (!photo.error.empty()) return;
    try {
      photo.copy->Resize(std::min(end, photo.written) - photo.offset);
      CommitPhoto(*photo.copy, folder_, photo.offset, IncompletePhotoName,
                  report.target);
    } catch (const std::exception&) {
      report.target.clear();
    }
  }

  bool Unreadable(std::int64_t begin, std::int64_t end) const {
    return std::any_of(unreadable_.begin(), unreadable_.end(),
                       [begin, end](const ByteRange& r) {
                         return static_cast<std::int64_t>(
                             r.begin)<end&& static_cast<std::int64_t>(r.end)>
                             begin;
                       });
  }

  void ForgetUnreadableBefore(std::int64_t position) {
    unreadable_.erase(
        std::remove_if(unreadable_.begin(), unreadable_.end(),
                       [position](const ByteRange& r) {
                         return static_cast<std::int64_t>(r.end) <= position;
                       }),
        unreadable_.end());
  }

  void Fail(PhotoReport& report, const std::string& error) {
    report.result = PhotoResult::kFailed;
    report.target.clear();
    report.error = error;
  }

  void Tell(const PhotoReport& report) {
    ++summary_.found;
    switch (report.result) {
      case PhotoResult::kRecovered:
        ++summary_.recovered;
        break;
      case PhotoResult::kAlreadyThere:
        ++summary_.already_there;
        break;
      case PhotoResult::kWouldRecover:
        ++summary_.would_recover;
        break;
      case PhotoResult::kIncomplete:
        ++summary_.incomplete;
        break;
      case PhotoResult::kFailed:
        ++summary_.failed;
        break;
    }
    view_.PhotoDone(report);
  }

  CardSource& source_;
  const RecoverOptions& options_;
  RecoverView& view_;
  RecoverSummary& summary_;
  const std::string folder_;
  std::vector<OpenPhoto> open_;  // in source order, as the search's
  std::vector<ByteRange> unreadable_;
  // Last: its listener is this pass.
  X3fForwardSearch search_;
};

}  // namespace

RecoverSummary RecoverCards(const std::vector<std::string>& sources,
                            const RecoverOptions& options, RecoverView& view) {
  RecoverSummary summary;
  std::vector<std::optional<CardSource>> opened;
  for (const std::string& path : sources) {
    opened.emplace_back();
    try {
      opened.back().emplace(path);
    } catch (const std::exception& e) {
      ++summary.sources_failed;
      view.SourceFailed(path, e.what());
    }
  }
  // Refused before anything is read or written.
  for (const auto& source : opened) {
    if (!source) continue;
    const std::string why = WhyFolderIsOnSource(options.output, *source);
    if (!why.empty()) {
      summary.refused = why;
      return summary;
    }
  }
  if (!options.dry_run) {
    try {
      CreateFolders(options.output);
    } catch (const std::exception& e) {
      summary.refused = e.what();
      return summary;
    }
  }
  for (auto& source : opened) {
    if (!source || summary.stopped) continue;
    try {
      CardPass(*source, options, view, summary).Run();
    } catch (const std::bad_alloc&) {
      ++summary.sources_failed;
      view.SourceFailed(source->Path(), kOutOfMemoryError);
    } catch (const std::exception& e) {
      ++summary.sources_failed;
      view.SourceFailed(source->Path(), e.what());
    }
  }
  return summary;
}

}  // namespace velkrane
