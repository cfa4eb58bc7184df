
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "allocation_limit.h"
#include "batch/repair_one.h"
#include "batch/run_texts.h"
#include "fileio/file_io.h"
#include "test_util.h"
#include "x3f/end_search.h"
#include "x3f/signature_filter.h"

namespace velkrane {
namespace {

using testing::Bytes;
using testing::BytesOf;
using testing::Exists;
using testing::Filler;
using testing::Head;
using testing::Listing;
using testing::Plant;
using testing::ReadFile;
using testing::Repair;
using testing::ScopedTempDir;
using testing::WriteFile;
using testing::WriteSource;

// The plain rule: every position from n-4 down to `lowest` (7 for a file).
std::int64_t ReferenceTail(const Bytes& bytes,
                           std::int64_t lowest = kLowestTailPosition) {
  const auto n = static_cast<std::int64_t>(bytes.size());
  for (std::int64_t p = n - 4; p >= lowest; --p) {
    if (IsTailSignatureAt(bytes.data(), static_cast<std::size_t>(p))) return p;
  }
  return kNoTail;
}

// What the repair of `bytes`, written to a fresh file, came to.
struct RepairedBytes {
  std::string outcome;  // as testing::Repair returns it
  bool target_written;
  Bytes target;
};

RepairedBytes RepairBytes(const Bytes& bytes) {
  ScopedTempDir dir;
  const std::string source = dir.File("IMG.X3F");
  const std::string target = dir.File("out.X3F");
  WriteFile(source, bytes);
  RepairedBytes repair;
  repair.outcome = Repair(source, target);
  EXPECT_EQ(bytes, ReadFile(source)) << "the source must never change";
  repair.target_written = Exists(target);
  if (repair.target_written) repair.target = ReadFile(target);
  EXPECT_EQ(repair.target_written ? 2u : 1u, Listing(dir.Path()).size())
      << "no temporary file may be left behind";
  return repair;
}

TEST(TailSearch, CandidatePositions) {
  const struct {
    const char* bytes;
    std::int64_t want;
  } cases[] = {
      {"0123456PROPxxxx", 7},        // lowest candidate
      {"012345PROPxxxxx", kNoTail},  // position 6 is never tested
      {"0123456PROPPROP", 11},       // the last one wins
      {"01234567PROPROPxxxxx", 11},  // overlapping occurrences
      {"0123456789PRO", kNoTail},    // cut short at the end
      {"0123456789PROP", 10},        // ends the buffer
      {"PROPPROP", kNoTail},         // too short to hold a candidate
      {"", kNoTail},
  };
  for (const auto& c : cases) {
    const Bytes bytes = BytesOf(c.bytes);
    EXPECT_EQ(c.want, FindLastSignature(bytes.data(), bytes.size(), 7))
        << c.bytes;
    EXPECT_EQ(c.want, ReferenceTail(bytes)) << c.bytes;
  }
}

TEST(TailSearch, MatchesThePlainRuleOnRandomMixes) {
  // Mixes of the signature's own letters, dense and sparse, long enough to
  // span several filtered stretches and to end inside a partial one.
  std::minstd_rand random(7);
  const std::string dense = "PROX";
  const std::string sparse =
      "PROXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX";
  for (int round = 0; round < 20000; ++round) {
    const std::string& alphabet = round % 2 ? sparse : dense;
    Bytes bytes(8 + random() % 600);
    for (auto& b : bytes) {
      b = static_cast<unsigned char>(alphabet[random() % alphabet.size()]);
    }
    // Sparse bytes rarely spell the signature themselves; plant a few.
    for (int planted = round % 3; planted > 0 && alphabet == sparse;
         --planted) {
      Plant(bytes, random() % (bytes.size() - 3));
    }
    const std::size_t lowest = random() % 12;
    ASSERT_EQ(ReferenceTail(bytes, static_cast<std::int64_t>(lowest)),
              FindLastSignature(bytes.data(), bytes.size(), lowest))
        << std::string(bytes.begin(), bytes.end()) << " lowest " << lowest;
  }
}

TEST(TailSearch, BlockBoundaryAtEveryOffset) {
  // A signature at every position around a block edge, read in small blocks,
  // must be found exactly where the plain rule finds it.
  ScopedTempDir dir;
  const std::string path = dir.File("blocks.X3F");
  for (std::size_t block : {1u, 2u, 3u, 4u, 5u, 16u, 64u}) {
    for (std::size_t pos = 0; pos + 4 <= 80; ++pos) {
      Bytes bytes = Filler(80, static_cast<unsigned>(pos));
      Plant(bytes, pos);
      WriteFile(path, bytes);
      const InputFile input(path);
      EXPECT_EQ(ReferenceTail(bytes), FindTailInFile(input, 80, block))
          << "block " << block << " pos " << pos;
    }
  }
  Bytes overlap = Filler(80);
  Plant(overlap, 30, "PROPROP");
  WriteFile(path, overlap);
  const InputFile input(path);
  for (std::size_t block : {1u, 2u, 3u, 4u, 31u, 33u, 34u}) {
    EXPECT_EQ(33, FindTailInFile(input, 80, block)) << "block " << block;
  }
}

TEST(PostProcessFile, SmallFiles) {
  const std::string no_tail = kNoTailMessage;
  const std::string found = std::string(kTailFoundPrefix) + "out.X3F";
  const std::string read_error = std::string("error: ") + kStreamReadError;
  const struct {
    const char* name;
    Bytes bytes;
    std::string outcome;
    std::size_t length;  // of the target; 0 when none is written
  } cases[] = {
      {"empty source", {}, read_error, 0},
      {"one byte", BytesOf("P"), no_tail, 0},
      {"ten bytes", BytesOf("012345PROP"), no_tail, 0},
      {"at 6 only", BytesOf("012345PROPxxxxxxxxxx"), no_tail, 0},
      {"at 4 only", BytesOf("0123PROPxxxxxxxxxxxx"), no_tail, 0},
      {"11 bytes, at 7", BytesOf("0123456PROP"), read_error, 0},
      {"ends 7 bytes early", BytesOf("0123456789PROPxxx"), read_error, 0},
      {"at 7 and 11", BytesOf("0123456PROPPROPxxxxx"), found, 19},
      {"overlapping", BytesOf("01234567PROPROPxxxxx"), found, 19},
      {"intact", BytesOf("0123456789PROPxxxx"), found, 18},
      {"junk after tail", BytesOf("0123456789PROPxxxxjunkjunk"), found, 18},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const RepairedBytes repair = RepairBytes(c.bytes);
    EXPECT_EQ(c.outcome, repair.outcome);
    EXPECT_EQ(c.length != 0, repair.target_written);
    if (c.length != 0) {
      EXPECT_EQ(Head(c.bytes, c.length), repair.target);
    }
  }
}

TEST(PostProcessFile, LoadLimit) {
  // The window is the first 30,000,000 bytes: a tail beyond it is not seen,
  // and one within 7 bytes of its end cannot be copied whole. Written out,
  // not kLoadLimit: cases worked out from the constant pass whatever it is.
  constexpr std::size_t limit = 30000000;
  const std::string found = std::string(kTailFoundPrefix) + "out.X3F";
  const struct {
    const char* name;
    std::size_t size;
    std::size_t tail;
    std::string outcome;
  } cases[] = {
      {"just under, intact", limit - 1, limit - 9, found},
      {"at the limit, intact", limit, limit - 8, found},
      {"over, tail inside", limit + 1, limit - 8, found},
      {"over, tail just past the window", limit + 1, limit - 3, kNoTailMessage},
      {"over, tail across the edge", limit + 100, limit - 7,
       std::string("error: ") + kStreamReadError},
      {"far over, tail deep inside", limit + 5000, 1000, found},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bytes(c.size, 0);
    Plant(bytes, c.tail);
    const RepairedBytes repair = RepairBytes(bytes);
    EXPECT_EQ(c.outcome, repair.outcome);
    if (c.outcome == found) {
      ASSERT_EQ(c.tail + 8, repair.target.size());
      EXPECT_TRUE(std::equal(repair.target.begin(), repair.target.end(),
                             bytes.begin()));
    } else {
      EXPECT_FALSE(repair.target_written);
    }
  }
}

TEST(PostProcessFile, TargetHandling) {
  ScopedTempDir dir;
  const std::string source = dir.File("a.X3F");
  const std::string target = dir.File("b.X3F");
  const std::string saved = std::string(kTailFoundPrefix) + "b.X3F";
  const Bytes first = WriteSource(source, 50, 100, 1);
  EXPECT_EQ(saved, Repair(source, target));
  EXPECT_EQ(Head(first, 58), ReadFile(target));

  // A second run over the same target replaces the copy.
  const Bytes second = WriteSource(source, 70, 100, 2);
  EXPECT_EQ(saved, Repair(source, target));
  EXPECT_EQ(Head(second, 78), ReadFile(target));

  // A failed run (tail too close to the end) leaves that copy as it was.
  WriteSource(source, 95, 100, 3);
  EXPECT_EQ(std::string("error: ") + kStreamReadError, Repair(source, target));
  EXPECT_EQ(Head(second, 78), ReadFile(target));

  // Nor does a run without a tail touch it.
  WriteFile(source, Filler(100, 4));
  EXPECT_EQ(kNoTailMessage, Repair(source, target));
  EXPECT_EQ(Head(second, 78), ReadFile(target));
  EXPECT_EQ(2u, Listing(dir.Path()).size());
}

TEST(PostProcessFile, NoMemoryForTheBuffers) {
  ScopedTempDir dir;
  const std::string source = dir.File("a.X3F");
  const std::string target = dir.File("b.X3F");
  const Bytes bytes = WriteSource(source, 200000, 300000);
  const Bytes earlier = Filler(100, 5);
  WriteFile(target, earlier);

  std::string outcome;
  {
    const testing::ScopedAllocationLimit limit(64 * 1024);
    outcome = Repair(source, target);
  }
  EXPECT_EQ(std::string("error: ") + kOutOfMemoryError, outcome);
  EXPECT_EQ(bytes, ReadFile(source));
  EXPECT_EQ(earlier, ReadFile(target));
  EXPECT_EQ(2u, Listing(dir.Path()).size());
}

TEST(PostProcessFile, AFileAtTheTemporaryNameIsLeftAlone) {
  // Someone else's file at the name the copy tries first is neither opened
  // nor replaced; the copy takes the next name.
  ScopedTempDir dir;
  const std::string source = dir.File("a.X3F");
  const std::string target = dir.File("b.X3F");
  const Bytes bytes = WriteSource(source, 50, 100);
  testing::PredictableTemporaryNames names;
  const std::string planted = names.Next(target);
  const Bytes theirs = Filler(200, 9);
  WriteFile(planted, theirs);

  EXPECT_EQ(std::string(kTailFoundPrefix) + "b.X3F", Repair(source, target));
  EXPECT_EQ(Head(bytes, 58), ReadFile(target));
  EXPECT_EQ(theirs, ReadFile(planted));
  EXPECT_EQ(3u, Listing(dir.Path()).size());
}

TEST(PostProcessFile, UnusableSourcesAndTargets) {
  ScopedTempDir dir;
  const std::string source = dir.File("good.X3F");
  const Bytes good = WriteSource(source, 40, 64);
  testing::fs::create_directory(testing::PathOf(dir.File("folder")));
  WriteFile(dir.File("plain"), good);

  // Each error names what failed and where, so the status line can say it.
  const struct {
    const char* name;
    std::string source;
    std::string target;
    std::string names;
  } cases[] = {
      {"missing source", dir.File("missing.X3F"), dir.File("t1.X3F"),
       "Cannot open " + dir.File("missing.X3F")},
      {"folder as source", dir.File("folder"), dir.File("t2.X3F"),
       "Cannot open " + dir.File("folder") + ": not a regular file"},
      {"target folder missing", source, dir.File("nowhere/t3.X3F"),
       "Cannot create " + dir.File("nowhere/t3.X3F")},
      {"target through a file", source, dir.File("plain/t4.X3F"),
       "Cannot create " + dir.File("plain/t4.X3F")},
      {"target is a folder", source, dir.File("folder"),
       "Cannot write " + dir.File("folder")},
      {"target is the source", source, source,
       "Cannot write " + source + ": it is the source file itself"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string outcome = Repair(c.source, c.target);
    EXPECT_EQ(0u, outcome.rfind("error: " + c.names, 0)) << outcome;
    EXPECT_EQ(good, ReadFile(source));
  }
  EXPECT_TRUE(testing::fs::is_directory(testing::PathOf(dir.File("folder"))));
  EXPECT_EQ(3u, Listing(dir.Path()).size());
}

}  // namespace
}  // namespace velkrane
