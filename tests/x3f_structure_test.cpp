#include "x3f/x3f_structure.h"

#include <gtest/gtest.h>

#include "fileio/file_io.h"
#include "test_util.h"
#include "x3f/tail_repair.h"
#include "x3f_sample.h"

namespace velkrane {
namespace {

using testing::Bytes;
using testing::Filler;
using testing::Joined;
using testing::kIma2Last;
using testing::kPropLast;
using testing::MakeX3f;
using testing::Plant;
using testing::Prefix;
using testing::PutUint32;
using testing::ReaderOf;
using testing::ReferenceEnds;
using testing::ScopedTempDir;
using testing::WriteFile;
using testing::X3fLayout;

// The file with its directory entry `k` (from 0) changed.
Bytes WithEntry(const X3fLayout& x3f, std::size_t k, std::uint32_t offset, std::uint32_t length,
                const char* type = nullptr) {
  Bytes bytes = x3f.bytes;
  const std::size_t entry = x3f.directory + 12 + 12 * k;
  PutUint32(bytes, entry, offset);
  PutUint32(bytes, entry + 4, length);
  if (type) Plant(bytes, entry + 8, type);
  return bytes;
}

Bytes WithUint32(Bytes bytes, std::size_t pos, std::uint32_t value) {
  PutUint32(bytes, pos, value);
  return bytes;
}

TEST(X3fStructure, Verdicts) {
  const X3fLayout p = MakeX3f(kPropLast, 1);
  const X3fLayout i = MakeX3f(kIma2Last, 2);
  const std::size_t end = i.bytes.size();
  const X3fLayout most = MakeX3f(std::vector<std::string>(kMaxX3fSections, "ABCD"), 3, 4);
  const X3fLayout too_many = MakeX3f(std::vector<std::string>(kMaxX3fSections + 1, "ABCD"), 3, 4);
  Bytes no_header = i.bytes;
  Plant(no_header, 0, "FOVa");
  Bytes bad_signature = i.bytes;
  Plant(bad_signature, i.offsets[1], "SECi");
  const std::string directory_end = "the directory does not end where the file ends";

  const struct {
    const char* name;
    Bytes bytes;
    std::string verdict;
    std::size_t sections;    // entries read
    std::size_t length = 0;  // checked; 0 for all of `bytes`
  } cases[] = {
      {"complete, PROP last", p.bytes, "complete X3F", 4},
      {"complete, IMA2 last", i.bytes, "complete X3F", 4},
      {"empty", {}, "no X3F header", 0},
      {"header only", testing::BytesOf("FOVb"), "the directory offset points outside the file", 0},
      {"no header", no_header, "no X3F header", 0},
      {"offset past the end", WithUint32(i.bytes, end - 4, static_cast<std::uint32_t>(end)),
       "the directory offset points outside the file", 0},
      {"offset 15 bytes before the end",
       WithUint32(i.bytes, end - 4, static_cast<std::uint32_t>(end - 15)),
       "the directory offset points outside the file", 0},
      {"offset into a section", WithUint32(i.bytes, end - 4, i.offsets[1] + 8),
       "no directory at offset " + std::to_string(i.offsets[1] + 8), 0},
      {"SECd missing", WithUint32(i.bytes, i.directory, 0x78434553),
       "no directory at offset " + std::to_string(i.directory), 0},
      {"count 0xFFFFFFFF", WithUint32(i.bytes, i.directory + 8, 0xFFFFFFFF), directory_end, 0},
      {"count one short", WithUint32(i.bytes, i.directory + 8, 3), directory_end, 0},
      {"the first bytes only", i.bytes, "the directory offset points outside the file", 0, end - 1},
      {"1024 sections", most.bytes, "complete X3F", kMaxX3fSections},
      {"1025 sections", too_many.bytes, "the directory lists 1025 sections, more than an X3F holds",
       0},
      {"a section past the directory",
       WithEntry(i, 2, i.offsets[2], i.directory - i.offsets[2] + 1),
       "section 3 (IMA2) lies outside the file", 3},
      {"a section that ends at the directory",
       WithEntry(i, 2, i.offsets[2], i.directory - i.offsets[2]), "complete X3F", 4},
      // In 32 bits the end would wrap around to 16.
      {"a section that wraps", WithEntry(i, 0, 0xFFFFFFF0, 0x20),
       "section 1 (CAMF) lies outside the file", 1},
      {"a section in the header", WithEntry(i, 0, 3, 4, "ABCD"),
       "section 1 (ABCD) lies outside the file", 1},
      {"a wrong signature", bad_signature, "section 2 (PROP) does not start with its signature", 2},
      {"too short for its signature", WithEntry(i, 1, i.offsets[1], 3),
       "section 2 (PROP) does not start with its signature", 2},
      {"an unknown type inside the file", WithEntry(i, 1, i.offsets[1], 8, "XYZW"), "complete X3F",
       4},
      {"an unknown type outside", WithEntry(i, 3, 0xFFFFFFFF, 0, "\x01YZ\xff"),
       "section 4 (?YZ?) lies outside the file", 4},
  };
  ScopedTempDir dir;
  const std::string path = dir.File("check.X3F");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto length = static_cast<std::int64_t>(c.length ? c.length : c.bytes.size());
    WriteFile(path, c.bytes);
    const X3fVerdict verdict = CheckX3fStructure(InputFile(path), length);
    EXPECT_EQ(c.verdict, verdict.Text());
    EXPECT_EQ(verdict.complete, verdict.problem.empty());
    EXPECT_EQ(c.sections, verdict.sections.size());
    // The same through a reader that catches any read at or past `length`.
    bool overran = false;
    EXPECT_EQ(c.verdict, CheckX3fStructure(ReaderOf(c.bytes, length, overran), length).Text());
    EXPECT_FALSE(overran);
  }

  // What a complete check read: every entry, as stored.
  WriteFile(path, i.bytes);
  const X3fVerdict verdict = CheckX3fStructure(InputFile(path), end);
  EXPECT_EQ(i.directory, verdict.directory_offset);
  for (std::size_t k = 0; k < kIma2Last.size(); ++k) {
    EXPECT_EQ(i.offsets[k], verdict.sections[k].offset);
    EXPECT_EQ(40u, verdict.sections[k].length);
    EXPECT_EQ(kIma2Last[k], verdict.sections[k].type);
  }
}

TEST(X3fStructure, StructuralEndAtEveryBlockBoundary) {
  const X3fLayout p = MakeX3f(kPropLast, 1);
  const X3fLayout i = MakeX3f(kIma2Last, 2);
  const Bytes glued = MakeX3f(kPropLast, 3, 48).bytes;
  Bytes not_x3f = p.bytes;
  Plant(not_x3f, 0, "FOVa");
  // Directories in the junk: one whose end does not hold its offset, one
  // whose end does but whose section lies outside.
  Bytes decoys = Filler(80, 4);
  Plant(decoys, 10, "SECd");
  Plant(decoys, 40, "SECdxxxx");
  PutUint32(decoys, 48, 1);
  PutUint32(decoys, 52 + 12, static_cast<std::uint32_t>(i.bytes.size() + 40));
  Plant(decoys, 70, "PROP");

  const struct {
    const char* name;
    Bytes bytes;
  } layouts[] = {
      {"PROP last", p.bytes},
      {"IMA2 last", i.bytes},
      {"glued", Joined(i.bytes, glued)},
      {"glued, same layout", Joined(i.bytes, i.bytes)},
      {"decoys", Joined(i.bytes, decoys)},
      {"truncated", Prefix(i.bytes, i.bytes.size() - 22)},
      {"not an X3F start", not_x3f},
  };
  ScopedTempDir dir;
  const std::string path = dir.File("scan.X3F");
  for (const auto& layout : layouts) {
    for (std::size_t junk = 0; junk <= 24; junk += 3) {
      const Bytes bytes = Joined(layout.bytes, Filler(junk, static_cast<unsigned>(junk)));
      const X3fEnds want = ReferenceEnds(bytes);
      WriteFile(path, bytes);
      const InputFile input(path);
      for (std::size_t block : {1u, 2u, 3u, 4u, 11u, 12u, 13u, 16u, 64u, 4096u}) {
        const X3fEnds got =
            FindX3fEndsInFile(input, static_cast<std::int64_t>(bytes.size()), block);
        EXPECT_EQ(want.end, got.end) << layout.name << " junk " << junk << " block " << block;
        EXPECT_EQ(want.rule_tail, got.rule_tail)
            << layout.name << " junk " << junk << " block " << block;
      }
    }
  }
  // The definition gives what the layouts were made for.
  EXPECT_EQ(static_cast<std::int64_t>(i.bytes.size()), ReferenceEnds(Joined(i.bytes, glued)).end);
  EXPECT_EQ(static_cast<std::int64_t>(i.bytes.size()), ReferenceEnds(Joined(i.bytes, decoys)).end);
  EXPECT_EQ(kNoTail, ReferenceEnds(Prefix(i.bytes, i.bytes.size() - 22)).end);
}

}  // namespace
}  // namespace velkrane
