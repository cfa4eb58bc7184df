// The pass over a card: real image files holding photos among other data,
// read in small blocks so that photos straddle them.

#include "batch/card_recovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "batch/output_names.h"
#include "fileio/path_parts.h"
#include "test_util.h"
#include "x3f/forward_search.h"
#include "x3f_sample.h"

namespace velkrane {
namespace {

using testing::Bytes;
using testing::Filler;
using testing::Head;
using testing::MakeX3f;
using testing::ReadFile;
using testing::ScopedTempDir;
using testing::SparseFile;

constexpr std::size_t kBlock = 64 * 1024;

class RecordingView final : public RecoverView {
 public:
  void PhotoDone(const PhotoReport& report) override {
    reports.push_back(report);
  }
  void SourceFailed(const std::string& source,
                    const std::string& error) override {
    failures.push_back(source + ": " + error);
  }
  void Progress(const RecoverProgress&) override { ++blocks; }
  bool StopRequested() override {
    return stop_after >= 0 && blocks >= stop_after;
  }

  std::vector<PhotoReport> reports;
  std::vector<std::string> failures;
  int blocks = 0;
  int stop_after = -1;
};

struct Photo {
  std::int64_t offset;
  Bytes bytes;
};

// A card: photos among other data, which breaks every "SEC" and "FOVb" it
// would form by chance.
struct Card {
  SparseFile file;
  std::vector<Photo> whole;

  Card& Junk(std::int64_t at, std::size_t size, unsigned seed) {
    Bytes junk = Filler(size, seed);
    for (auto& b : junk) {
      if (b == 'S' || b == 'F') b = 'T';
    }
    file.Put(at, junk);
    return *this;
  }
  Card& Whole(std::int64_t at, const Bytes& bytes) {
    file.Put(at, bytes);
    whole.push_back({at, bytes});
    return *this;
  }
};

RecoverSummary Recover(const std::string& image, const std::string& output,
                       RecordingView& view, bool dry_run = false,
                       bool keep_incomplete = false) {
  RecoverOptions options;
  options.output = output;
  options.dry_run = dry_run;
  options.keep_incomplete = keep_incomplete;
  options.block_size = kBlock;
  return RecoverCards({image}, options, view);
}

TEST(RecoverCards, EveryPhotoWholeAmongOtherData) {
  ScopedTempDir dir;
  const Bytes a = MakeX3f(testing::kIma2Last, 1, 50000).bytes;  // 3 blocks
  const Bytes b = MakeX3f(testing::kPropLast, 2, 3000).bytes;
  const Bytes c = MakeX3f(testing::kIma2Last, 3, 2000).bytes;
  // A directory inside f's image data that points back at f's header but
  // lists a section without its signature: the real one after it counts.
  testing::X3fLayout f = MakeX3f(testing::kIma2Last, 4, 3000);
  const Bytes fake = testing::DirectoryBytes({"PROP"}, {f.offsets[2] + 100}, 40,
                                             f.offsets[3] + 500);
  std::copy(fake.begin(), fake.end(), f.bytes.begin() + f.offsets[3] + 500);
  const SparseFile large = testing::LargeX3f(testing::kIma2Last, 12000000);
  const Bytes stray = {'F', 'O', 'V', 'b', 0, 0, 9, 0};  // version 9.0
  Card card;
  card.Junk(0, 4096, 1)
      .Whole(4096, a)
      .Junk(4096 + a.size(), 3000, 2)
      .file.Put(4096 + a.size() + 1000, stray);
  const std::int64_t b_at = 256 * 1024;
  card.file.Put(b_at, b);
  // c starts in b's middle: b's end and its directory are gone.
  const std::int64_t c_at = b_at + 1500;
  card.Whole(c_at, c).Junk(c_at + c.size(), 777, 3);
  const std::int64_t f_at = c_at + c.size() + 777;  // inside a sector
  card.Whole(f_at, f.bytes).Junk(f_at + f.bytes.size(), 9000, 4);
  const std::int64_t large_at = 1 << 20;
  for (const auto& piece : large.pieces) {
    card.file.Put(large_at + piece.first, piece.second);
  }
  card.file.Grow(large_at + large.size);
  const std::int64_t last_at = large_at + large.size + 512;
  card.file.Put(last_at, Head(a, 30000));  // cut short by the card's end
  const std::string image = dir.File("card.img");
  testing::WriteSparse(image, card.file);
  const std::string out = dir.File("out");

  RecordingView view;
  const RecoverSummary summary = Recover(image, out, view);
  ASSERT_TRUE(view.failures.empty()) << view.failures.front();
  const struct {
    std::int64_t offset, length;
    PhotoResult result;
  } want[] = {
      {4096, static_cast<std::int64_t>(a.size()), PhotoResult::kRecovered},
      {b_at, -1, PhotoResult::kIncomplete},
      {c_at, static_cast<std::int64_t>(c.size()), PhotoResult::kRecovered},
      {f_at, static_cast<std::int64_t>(f.bytes.size()),
       PhotoResult::kRecovered},
      {large_at, large.size, PhotoResult::kRecovered},
      {last_at, -1, PhotoResult::kIncomplete},
  };
  ASSERT_EQ(std::size(want), view.reports.size());
  for (std::size_t k = 0; k < std::size(want); ++k) {
    const PhotoReport& got = view.reports[k];
    EXPECT_EQ(want[k].offset, got.offset) << k;
    EXPECT_EQ(want[k].length, got.length) << k;
    EXPECT_EQ(want[k].result, got.result) << k << ": " << got.error;
  }
  EXPECT_EQ(kNoDirectoryFound, view.reports[1].error);
  EXPECT_EQ(6, summary.found);
  EXPECT_EQ(4, summary.recovered);
  EXPECT_EQ(2, summary.incomplete);
  EXPECT_EQ(static_cast<std::uint64_t>(card.file.size), summary.bytes_read);

  // Exactly the photos, byte for byte, and no temporary left.
  std::vector<std::string> names;
  for (const Photo& photo : card.whole) {
    const std::string name =
        RecoveredPhotoName(static_cast<std::uint64_t>(photo.offset));
    names.push_back(name);
    EXPECT_EQ(photo.bytes, ReadFile(out + "/" + name)) << name;
  }
  names.push_back(RecoveredPhotoName(large_at));
  std::vector<std::string> listed = testing::Listing(out);
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(names, listed);
  EXPECT_EQ(large.size, static_cast<std::int64_t>(
                            ReadFile(out + "/" + names.back()).size()));

  // A second run finds them there; a different file under a photo's name
  // stays, and the photo takes the next name.
  const std::string taken = out + "/" + names[1];
  testing::WriteFile(taken, testing::BytesOf("someone else's"));
  RecordingView again;
  const RecoverSummary second = Recover(image, out, again);
  EXPECT_EQ(3, second.already_there);
  EXPECT_EQ(1, second.recovered);
  EXPECT_EQ(RecoveredPhotoName(c_at, 2), FileNamePart(again.reports[2].target));
  EXPECT_EQ(c, ReadFile(again.reports[2].target));
  EXPECT_EQ(testing::BytesOf("someone else's"), ReadFile(taken));

  // What is left of b runs to c's header; the cut-short one to the card's
  // end.
  const std::string kept = dir.File("kept");
  RecordingView keeping;
  Recover(image, kept, keeping, false, true);
  EXPECT_EQ(Head(b, 1500), ReadFile(kept + "/" + IncompletePhotoName(b_at)));
  EXPECT_EQ(Head(a, 30000),
            ReadFile(kept + "/" + IncompletePhotoName(last_at)));
  EXPECT_EQ(IncompletePhotoName(b_at), FileNamePart(keeping.reports[1].target));

  // A dry run finds the same and writes nothing, not even the folder.
  const std::string none = dir.File("none");
  RecordingView dry;
  const RecoverSummary looked = Recover(image, none, dry, true);
  EXPECT_EQ(4, looked.would_recover);
  EXPECT_EQ(2, looked.incomplete);
  EXPECT_FALSE(testing::Exists(none));
}

TEST(RecoverCards, StopsBetweenBlocksWithNothingPartial) {
  ScopedTempDir dir;
  const Bytes small = MakeX3f(testing::kIma2Last, 5, 3000).bytes;
  const Bytes spanning = MakeX3f(testing::kPropLast, 6, 20000).bytes;
  Card card;
  card.Whole(512, small).Whole(kBlock - 4096, spanning);
  card.file.Grow(4 * kBlock);
  const std::string image = dir.File("card.img");
  testing::WriteSparse(image, card.file);
  const std::string out = dir.File("out");

  RecordingView view;
  view.stop_after = 1;
  const RecoverSummary summary = Recover(image, out, view);
  EXPECT_TRUE(summary.stopped);
  EXPECT_EQ(image, summary.stopped_source);
  EXPECT_EQ(kBlock, summary.stopped_at);
  ASSERT_EQ(1u, view.reports.size());
  // The photo still open when the pass stopped leaves no temporary behind.
  EXPECT_EQ(std::vector<std::string>{RecoveredPhotoName(512)},
            testing::Listing(out));
}

TEST(RecoverCards, BadSourcesFailOnTheirOwn) {
  ScopedTempDir dir;
  const std::string image = dir.File("card.img");
  testing::WriteFile(
      image, testing::Joined(Filler(1000), MakeX3f(testing::kPropLast).bytes));
  RecordingView view;
  RecoverOptions options;
  options.output = dir.File("out");
  const RecoverSummary summary =
      RecoverCards({dir.File("missing.img"), dir.Path(), image}, options, view);
  EXPECT_EQ(2, summary.sources_failed);
  ASSERT_EQ(2u, view.failures.size());
  EXPECT_NE(std::string::npos, view.failures[1].find("folder"))
      << view.failures[1];
  EXPECT_EQ(1, summary.recovered);

  // An output folder the image itself lies in the way of: nothing is read.
  RecordingView refused;
  options.output = image;
  const RecoverSummary wrong = RecoverCards({image}, options, refused);
  EXPECT_FALSE(wrong.refused.empty());
  EXPECT_EQ(0u, wrong.bytes_read);
}

// The scan tests many positions at once: a header at each position of a
// step, among near misses, is found, and only it.
TEST(X3fForwardSearch, FindsAHeaderAtEveryPositionOfAStep) {
  struct Found : ForwardSearchListener {
    std::vector<std::int64_t> complete, other;
    void HeaderFound(std::int64_t) override {}
    void PhotoComplete(std::int64_t offset, std::int64_t end,
                       const X3fVerdict&) override {
      complete.insert(complete.end(), {offset, end});
    }
    void PhotoIncomplete(std::int64_t offset, std::int64_t) override {
      other.push_back(offset);
    }
    void HeaderInsidePhoto(std::int64_t offset) override {
      other.push_back(offset);
    }
  };
  const Bytes photo = MakeX3f(testing::kIma2Last, 7).bytes;
  const Bytes misses = testing::BytesOf("FOVa SECx FOVb\x09 TFO SE");
  // Before the photo: nothing to test, or near misses first, which move the
  // steps that follow.
  for (std::int64_t at = 0; at < 600; ++at) {
    Bytes card(static_cast<std::size_t>(at % 300), 'T');
    if (at >= 300) {
      std::copy_n(misses.begin(), std::min(misses.size(), card.size()),
                  card.begin());
    }
    card.insert(card.end(), photo.begin(), photo.end());
    card.insert(card.end(), 200, 'T');
    card.insert(card.end(), misses.begin(), misses.end());
    Found found;
    X3fForwardSearch search(found, card.size());  // one scan over it all
    std::copy(card.begin(), card.end(), search.Room());
    search.Add(card.size(), true);
    const auto from = static_cast<std::int64_t>(at % 300);
    const std::vector<std::int64_t> want = {
        from, from + static_cast<std::int64_t>(photo.size())};
    EXPECT_EQ(want, found.complete) << "photo at " << at;
    EXPECT_TRUE(found.other.empty()) << "photo at " << at;
  }
}

}  // namespace
}  // namespace velkrane
