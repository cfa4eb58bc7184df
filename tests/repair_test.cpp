#include "x3f/repair.h"

#include <gtest/gtest.h>

#include "fileio/error.h"
#include "test_util.h"
#include "x3f/tail_repair.h"
#include "x3f_sample.h"

namespace velkrane {
namespace {

using testing::Bytes;
using testing::Exists;
using testing::Filler;
using testing::Joined;
using testing::kIma2Last;
using testing::kPropLast;
using testing::Listing;
using testing::MakeX3f;
using testing::Plant;
using testing::Prefix;
using testing::ReadFile;
using testing::ScopedTempDir;
using testing::WriteFile;
using testing::X3fLayout;

struct Outcome {
  RepairOutcome outcome;
  Bytes copy;
  std::string error;  // the failure's text, or empty
};

// Repairs `bytes` written to a fresh file, first as a dry run (which must
// write nothing and find the same), then for real.
Outcome RepairBytes(const Bytes& bytes, RepairOptions options = {}) {
  ScopedTempDir dir;
  const std::string source = dir.File("IMG.X3F");
  const std::string target = dir.File("out.X3F");
  WriteFile(source, bytes);
  Outcome run;
  try {
    options.dry_run = true;
    const RepairOutcome dry = RepairFile(source, target, options);
    EXPECT_EQ(1u, Listing(dir.Path()).size()) << "a dry run wrote something";
    options.dry_run = false;
    run.outcome = RepairFile(source, target, options);
    EXPECT_EQ(run.outcome.result == RepairResult::kRepaired ? RepairResult::kWouldRepair
                                                            : RepairResult::kNoTail,
              dry.result);
    EXPECT_EQ(run.outcome.length, dry.length);
    EXPECT_EQ(run.outcome.tail_from, dry.tail_from);
    EXPECT_EQ(run.outcome.verdict.Text(), dry.verdict.Text());
  } catch (const Error& e) {
    run.error = e.what();
  }
  EXPECT_EQ(bytes, ReadFile(source)) << "the source must never change";
  if (Exists(target)) run.copy = ReadFile(target);
  EXPECT_EQ(Exists(target) ? 2u : 1u, Listing(dir.Path()).size())
      << "no temporary file may be left behind";
  return run;
}

// Each case is repaired as it comes (the directory first) and by the plain
// rule alone; `length` 0 means no tail.
TEST(RepairFile, WhereTheCopyEnds) {
  const X3fLayout prop_last = MakeX3f(kPropLast, 1);
  const X3fLayout ima2_last = MakeX3f(kIma2Last, 2);
  const Bytes& p = prop_last.bytes;
  const Bytes& i = ima2_last.bytes;
  // Another camera's file: its sections, and so its directory, lie elsewhere.
  const X3fLayout glued = MakeX3f(kPropLast, 3, 48);
  const Bytes& second = glued.bytes;
  const Bytes junk = Filler(300, 4);
  Bytes junk_with_prop = junk;
  Plant(junk_with_prop, 100);
  Bytes plain = Filler(100, 5);
  Plant(plain, 50);
  // The rule's cut in an IMA2-last file: 8 bytes after the second entry's
  // type, 4 bytes into the third entry.
  const std::size_t after_prop_entry = ima2_last.directory + 12 + 12 + 8 + 8;
  ASSERT_EQ(i.size() - 24, after_prop_entry);
  const std::string complete = kCompleteX3f;
  // Cut 24 bytes short, an IMA2-last copy ends in the third entry's offset.
  const std::string third_entry = "no directory at offset " + std::to_string(ima2_last.offsets[2]);
  const std::string no_header = "no X3F header";
  const std::string outside = "the directory offset points outside the file";

  const struct {
    const char* name;
    Bytes bytes;
    std::size_t length;
    TailSource from;
    std::string verdict;
    std::size_t rule_length;
    std::string rule_verdict;
  } cases[] = {
      {"intact, PROP last", p, p.size(), TailSource::kStructure, complete, p.size(), complete},
      {"intact, IMA2 last", i, i.size(), TailSource::kStructure, complete, after_prop_entry,
       third_entry},
      {"junk after PROP last", Joined(p, junk), p.size(), TailSource::kStructure, complete,
       p.size(), complete},
      {"junk after IMA2 last", Joined(i, junk), i.size(), TailSource::kStructure, complete,
       after_prop_entry, third_entry},
      {"a second X3F glued on", Joined(i, second), i.size(), TailSource::kStructure, complete,
       i.size() + second.size(), "no directory at offset " + std::to_string(glued.directory)},
      {"the first half of a second X3F", Joined(i, Prefix(second, second.size() / 2)), i.size(),
       TailSource::kStructure, complete, after_prop_entry, third_entry},
      {"junk holding PROP after PROP last", Joined(p, junk_with_prop), p.size(),
       TailSource::kStructure, complete, p.size() + 108, outside},
      {"truncated in the directory", Prefix(i, after_prop_entry + 2), after_prop_entry,
       TailSource::kRule, third_entry, after_prop_entry, third_entry},
      {"truncated before the directory", Prefix(p, prop_last.directory), 0, TailSource::kRule,
       outside, 0, ""},
      {"not an X3F", plain, 58, TailSource::kRule, no_header, 58, no_header},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome run = RepairBytes(c.bytes);
    ASSERT_EQ("", run.error);
    const RepairOutcome& got = run.outcome;
    EXPECT_EQ(static_cast<std::int64_t>(c.bytes.size()), got.source_size);
    if (c.length == 0) {
      EXPECT_EQ(RepairResult::kNoTail, got.result);
      EXPECT_EQ(kNoTail, got.tail);
      EXPECT_TRUE(run.copy.empty());
      EXPECT_EQ(c.verdict, got.verdict.Text()) << "says why there is no end";
    } else {
      EXPECT_EQ(RepairResult::kRepaired, got.result);
      EXPECT_EQ(static_cast<std::int64_t>(c.length), got.length);
      EXPECT_EQ(got.length - 8, got.tail);
      EXPECT_EQ(got.source_size - got.length, got.bytes_cut);
      EXPECT_EQ(c.from, got.tail_from);
      EXPECT_EQ(c.verdict, got.verdict.Text());
      EXPECT_EQ(Prefix(c.bytes, c.length), run.copy);
    }

    RepairOptions rule_only;
    rule_only.rule_only = true;
    const Outcome rule = RepairBytes(c.bytes, rule_only);
    ASSERT_EQ("", rule.error);
    EXPECT_EQ(TailSource::kRule, rule.outcome.tail_from);
    EXPECT_EQ(Prefix(c.bytes, c.rule_length), rule.copy);
    if (c.rule_length != 0) {
      EXPECT_EQ(c.rule_verdict, rule.outcome.verdict.Text());
    }
  }
}

}  // namespace
}  // namespace velkrane
