#include "x3f/repair.h"

#include <gtest/gtest.h>

#include "batch/batch_run.h"
#include "batch/run_texts.h"
#include "recording_window.h"
#include "test_util.h"
#include "x3f_sample.h"

namespace velkrane {
namespace {

using testing::Bytes;
using testing::Exists;
using testing::Filler;
using testing::Head;
using testing::Joined;
using testing::kIma2Last;
using testing::kPropLast;
using testing::Listing;
using testing::MakeX3f;
using testing::Plant;
using testing::ReadFile;
using testing::ScopedTempDir;
using testing::SparseFile;
using testing::WriteFile;
using testing::X3fLayout;

struct Outcome {
  RepairOutcome outcome;
  Bytes copy;  // empty when none was written
};

// Repairs `bytes` written to a fresh file, first as a dry run (which must
// write nothing and find the same), then for real.
Outcome RepairBytes(const Bytes& bytes, RepairOptions options = {}) {
  ScopedTempDir dir;
  const std::string source = dir.File("IMG.X3F"), target = dir.File("out.X3F");
  WriteFile(source, bytes);
  options.dry_run = true;
  const RepairOutcome dry = RepairFile(source, target, options);
  EXPECT_EQ(1u, Listing(dir.Path()).size()) << "a dry run wrote something";
  options.dry_run = false;
  Outcome run{RepairFile(source, target, options), {}};
  const bool found = run.outcome.result == RepairResult::kRepaired;
  EXPECT_EQ(found ? RepairResult::kWouldRepair : RepairResult::kTailNotFound,
            dry.result);
  EXPECT_EQ(run.outcome.length, dry.length);
  EXPECT_EQ(run.outcome.tail_from, dry.tail_from);
  EXPECT_EQ(VerdictText(run.outcome.verdict), VerdictText(dry.verdict));
  EXPECT_EQ(bytes, ReadFile(source)) << "the source must never change";
  if (found) run.copy = ReadFile(target);
  EXPECT_EQ(found ? 2u : 1u, Listing(dir.Path()).size())
      << "no temporary file may be left";
  return run;
}

// Checks a run against the expected copy length (0: no tail) and verdict.
void ExpectCopy(const Bytes& bytes, const Outcome& run, std::size_t length,
                const std::string& verdict, TailSource from) {
  const RepairOutcome& got = run.outcome;
  EXPECT_EQ(length ? RepairResult::kRepaired : RepairResult::kTailNotFound,
            got.result);
  EXPECT_EQ(Head(bytes, length), run.copy);
  EXPECT_EQ(verdict, VerdictText(got.verdict));
  EXPECT_EQ(static_cast<std::int64_t>(bytes.size()), got.source_size);
  if (length == 0) return;
  EXPECT_EQ(got.length - 8, got.tail);
  EXPECT_EQ(got.source_size - got.length, got.bytes_cut);
  EXPECT_EQ(from, got.tail_from);
}

// Each case is repaired as it comes (the directory first) and by the plain
// rule alone. A complete copy comes from the directory, any other from the
// rule; a length of 0 means no tail, and the verdict then says why.
TEST(RepairFile, WhereTheCopyEnds) {
  const X3fLayout prop_last = MakeX3f(kPropLast, 1),
                  ima2_last = MakeX3f(kIma2Last, 2);
  const Bytes &p = prop_last.bytes, &i = ima2_last.bytes;
  // Another camera's file: its sections, and so its directory, lie elsewhere.
  const X3fLayout glued = MakeX3f(kPropLast, 3, 48);
  const Bytes& second = glued.bytes;
  const Bytes junk = Filler(300, 4);
  Bytes junk_with_prop = junk, plain = Filler(100, 5);
  Plant(junk_with_prop, 100);
  Plant(plain, 50);
  // The rule cuts an IMA2-last file 24 bytes short, 8 bytes after the second
  // entry's type: the copy ends in the third entry's offset.
  const std::size_t short_cut = i.size() - 24;
  const std::string complete = kCompleteX3f, no_header = "no X3F header",
                    outside = "the directory offset points outside the file",
                    third = "no directory at offset " +
                            std::to_string(ima2_last.offsets[2]);
  const struct {
    const char* name;
    Bytes bytes;
    std::size_t length;
    std::string verdict;
    std::size_t rule_length;
    std::string rule_verdict;
  } cases[] = {
      {"intact, PROP last", p, p.size(), complete, p.size(), complete},
      {"intact, IMA2 last", i, i.size(), complete, short_cut, third},
      {"junk after PROP last", Joined(p, junk), p.size(), complete, p.size(),
       complete},
      {"junk after IMA2 last", Joined(i, junk), i.size(), complete, short_cut,
       third},
      {"a second X3F glued on", Joined(i, second), i.size(), complete,
       i.size() + second.size(),
       "no directory at offset " + std::to_string(glued.directory)},
      {"the first half of a second X3F",
       Joined(i, Head(second, second.size() / 2)), i.size(), complete,
       short_cut, third},
      {"junk holding PROP after PROP last", Joined(p, junk_with_prop), p.size(),
       complete, p.size() + 108, outside},
      {"truncated in the directory", Head(i, short_cut + 2), short_cut, third,
       short_cut, third},
      {"truncated before the directory", Head(p, prop_last.directory), 0,
       outside, 0, outside},
      {"not an X3F", plain, 58, no_header, 58, no_header},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TailSource from =
        c.verdict == complete ? TailSource::kStructure : TailSource::kRule;
    ExpectCopy(c.bytes, RepairBytes(c.bytes), c.length, c.verdict, from);
    RepairOptions rule_only;
    rule_only.rule_only = true;
    ExpectCopy(c.bytes, RepairBytes(c.bytes, rule_only), c.rule_length,
               c.rule_verdict, TailSource::kRule);
  }
}

TEST(RepairFile, AGluedEndPastTheWindow) {
  // Sections of 7.5 MB put the glued X3F's end past the first kLoadLimit
  // bytes; window or whole file, the copy ends where the first file does.
  // (velkrane-cli's --whole-file test covers a lone file past the window.)
  const Bytes first = MakeX3f(kIma2Last, 6).bytes,
              large = MakeX3f(kPropLast, 7, 7500000).bytes;
  ASSERT_GT(large.size(), static_cast<std::size_t>(kLoadLimit));
  const Bytes glued = Joined(first, large);
  for (const bool whole_file : {false, true}) {
    RepairOptions options;
    options.whole_file = whole_file;
    const Outcome run = RepairBytes(glued, options);
    EXPECT_EQ(first, run.copy) << "whole file: " << whole_file;
    EXPECT_EQ(kCompleteX3f, VerdictText(run.outcome.verdict));
  }
  // The plain rule sees only the first file's directory in the window.
  RepairOptions rule_only;
  rule_only.rule_only = true;
  EXPECT_EQ(Head(glued, first.size() - 24), RepairBytes(glued, rule_only).copy);
}

// Later cameras list PROP before the image sections and write files of 40 MB
// and more, so the only "PROP" of such a file lies in its directory, past the
// first kLoadLimit bytes. Each case runs through RepairFile and through a
// Decode run.
TEST(RepairFile, LargeFilesOfLaterCameras) {
  constexpr std::int64_t kMB = 1000000;
  const std::vector<std::string> later = {"IMA2", "CAMF", "PROP", "IMA2",
                                          "IMA2"};
  const SparseFile intact = testing::LargeX3f(later, 45 * kMB);
  const SparseFile junk =
      SparseFile(intact).Put(45 * kMB + 300000 - 8, "PROPjunk");
  // Image data holds "PROP" by chance about once in 140 windows.
  const SparseFile stray = SparseFile(junk).Put(20 * kMB, "PROP");
  const SparseFile prop_last =
      testing::LargeX3f(kPropLast, 14 * kMB).Grow(54 * kMB);
  const SparseFile no_directory = SparseFile()
                                      .Put(0, "FOVb")
                                      .Put(29 * kMB, "PROP")
                                      .Put(40 * kMB, "PROP")
                                      .Grow(45 * kMB);
  // pieces[2] is the second section's signature.
  SparseFile broken = intact;
  broken.Put(broken.pieces[2].first, "SECx");
  const SparseFile no_prop =
      testing::LargeX3f({"IMA2", "CAMF", "IMA2"}, 45 * kMB);
  const SparseFile glued = testing::LargeX3f(later, 20 * kMB)
                               .Put(38 * kMB, MakeX3f(kIma2Last, 3).bytes)
                               .Grow(45 * kMB);

  const std::string complete = kCompleteX3f;
  const struct {
    const char* name;
    const SparseFile& file;
    std::int64_t length;  // of the copy; 0 for no end
    TailSource from;      // kRule also for no end
    std::string verdict;  // of the copy, or of the file without an end
  } cases[] = {
      {"45 MB, intact", intact, 45 * kMB, TailSource::kStructure, complete},
      {"45 MB, 300,000 bytes of junk", junk, 45 * kMB, TailSource::kStructure,
       complete},
      {"45 MB, a stray PROP in the window", stray, 45 * kMB,
       TailSource::kStructure, complete},
      {"14 MB, PROP last, 40 MB of junk", prop_last, 14 * kMB,
       TailSource::kStructure, complete},
      {"45 MB, no directory", no_directory, 29 * kMB + 8, TailSource::kRule,
       "no directory at offset 0"},
      {"45 MB, a section that fails the check", broken, 0, TailSource::kRule,
       "section 2 (CAMF) does not start with its signature"},
      {"45 MB, no PROP section", no_prop, 45 * kMB, TailSource::kStructure,
       complete},
      {"20 MB, a second X3F in the junk past the window", glued, 20 * kMB,
       TailSource::kStructure, complete},
  };
  ScopedTempDir dir;
  const std::string name = "SDIM0001.X3F";
  const std::string source = dir.File(name), target = dir.File("out.X3F");
  const std::string decoded =
      dir.File(std::string(kOutputFolderName) + "/" + name);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::WriteSparse(source, c.file);
    const Bytes bytes = ReadFile(source);
    ASSERT_EQ(c.file.size, static_cast<std::int64_t>(bytes.size()));
    const Bytes want = Head(bytes, static_cast<std::size_t>(c.length));

    // Only the sizes on a mismatch, not megabytes of both.
    const auto expect_copy = [&want](const std::string& path) {
      const Bytes got = Exists(path) ? ReadFile(path) : Bytes{};
      EXPECT_TRUE(want == got) << got.size() << " bytes, want " << want.size();
      testing::fs::remove(testing::PathOf(path));
    };

    const RepairOutcome outcome = RepairFile(source, target);
    EXPECT_EQ(c.length, outcome.length);
    EXPECT_EQ(c.verdict, VerdictText(outcome.verdict));
    EXPECT_EQ(c.from, outcome.tail_from);
    expect_copy(target);

    testing::RecordingWindow window;
    window.entries = {source};
    RunBatch(window);
    EXPECT_EQ("status: " + name + ":" +
                  (c.length != 0 ? kTailFoundPrefix + name
                                 : std::string(kNoTailMessage)),
              window.shown.at(1));
    expect_copy(decoded);
  }
}

}  // namespace
}  // namespace velkrane
