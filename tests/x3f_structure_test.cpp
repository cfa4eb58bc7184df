#include "x3f/x3f_structure.h"

#include <gtest/gtest.h>

#include "batch/run_texts.h"
#include "fileio/file_io.h"
#include "test_util.h"
#include "x3f/end_search.h"
#include "x3f_sample.h"

namespace velkrane {
namespace {

using testing::Bytes;
using testing::Filler;
using testing::Head;
using testing::Joined;
using testing::kIma2Last;
using testing::kPropLast;
using testing::MakeX3f;
using testing::Plant;
using testing::PutUint32;
using testing::ReaderOf;
using testing::ReferenceEnds;
using testing::ScopedTempDir;
using testing::WriteFile;
using testing::X3fLayout;

// `bytes` with a little-endian word, or text, written at `pos`.
Bytes With(Bytes bytes, std::size_t pos, std::size_t value) {
  PutUint32(bytes, pos, static_cast<std::uint32_t>(value));
  return bytes;
}
Bytes With(Bytes bytes, std::size_t pos, const char* text) {
  Plant(bytes, pos, text);
  return bytes;
}

TEST(X3fStructure, Verdicts) {
  const X3fLayout i = MakeX3f(kIma2Last, 2);
  const Bytes& b = i.bytes;
  const std::size_t end = b.size(),
                    entry = i.directory + 12;  // entry of section 1
  const auto many = [](std::size_t n) {
    return MakeX3f(std::vector<std::string>(n, "ABCD"), 3, 4).bytes;
  };
  // The sd Quattro's files hold an SPPA section, whose signature is "SECs".
  const X3fLayout q = MakeX3f({"CAMF", "SPPA", "PROP", "IMA2"}, 4);
  const std::string complete = kCompleteX3f, at = "no directory at offset ";
  const struct {
    const char* name;
    Bytes bytes;
    std::string verdict;
  } cases[] = {
      {"complete, PROP last", MakeX3f(kPropLast).bytes, complete},
      {"complete, IMA2 last", b, complete},
      {"empty", {}, "no X3F header"},
      {"no header", With(b, 0, "FOVa"), "no X3F header"},
      {"offset past the end", With(b, end - 4, end),
       "the directory offset points outside the file"},
      {"offset into a section", With(b, end - 4, i.offsets[1] + 8),
       at + std::to_string(i.offsets[1] + 8)},
      {"SECd missing", With(b, i.directory, "SECx"),
       at + std::to_string(i.directory)},
      {"count 0xFFFFFFFF", With(b, i.directory + 8, 0xFFFFFFFF),
       "the directory does not end where the file ends"},
      {"1024 sections", many(kMaxX3fSections), complete},
      {"1025 sections", many(kMaxX3fSections + 1),
       "the directory lists 1025 sections, more than an X3F holds"},
      {"a section past the directory",
       With(b, entry + 28, i.directory - i.offsets[2] + 1),
       "section 3 (IMA2) lies outside the file"},
      {"a section that ends at the directory",
       With(b, entry + 28, i.directory - i.offsets[2]), complete},
      // In 32 bits its end would wrap around to 16.
      {"a section that wraps",
       With(With(b, entry, 0xFFFFFFF0), entry + 4, 0x20),
       "section 1 (CAMF) lies outside the file"},
      {"a wrong signature", With(b, i.offsets[1], "SECi"),
       "section 2 (PROP) does not start with its signature"},
      {"an unknown type inside the file", With(b, entry + 20, "XYZW"),
       complete},
      // The header is 4 bytes long; section 2 given an unknown type, so
      // that only where it starts can fail it.
      {"a section inside the header",
       With(With(b, entry + 20, "XYZW"), entry + 12, 3),
       "section 2 (XYZW) lies outside the file"},
      {"a section right after the header",
       With(With(b, entry + 20, "XYZW"), entry + 12, 4), complete},
      {"no sections", MakeX3f({}).bytes, "the directory lists no sections"},
      {"SPPA", q.bytes, complete},
      {"SPPA without its signature", With(q.bytes, q.offsets[1], "SECi"),
       "section 2 (SPPA) does not start with its signature"},
      {"an unknown type outside",
       With(With(b, entry + 36, 0xFFFFFFFF), entry + 44, "\x01YZ\xff"),
       "section 4 (?YZ?) lies outside the file"},
  };
  ScopedTempDir dir;
  const std::string path = dir.File("check.X3F");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto length = static_cast<std::int64_t>(c.bytes.size());
    WriteFile(path, c.bytes);
    EXPECT_EQ(c.verdict,
              VerdictText(CheckX3fStructure(InputFile(path), length)));
    // The same through a reader that catches any read at or past `length`.
    bool overran = false;
    EXPECT_EQ(c.verdict, VerdictText(CheckX3fStructure(
                             ReaderOf(c.bytes, length, overran), length)));
    EXPECT_FALSE(overran);
  }
  bool overran = false;
  const X3fVerdict full = CheckX3fStructure(ReaderOf(b, end, overran), end);
  ASSERT_EQ(4u, full.sections.size());
  EXPECT_EQ(i.offsets[3], full.sections[3].offset);
  EXPECT_EQ("IMA2", full.sections[3].type);
}

TEST(X3fStructure, StructuralEndAtEveryBlockBoundary) {
  const X3fLayout i = MakeX3f(kIma2Last, 2);
  const Bytes glued = MakeX3f(kPropLast, 3, 48).bytes;
  // Directories in the junk: one whose end does not hold its offset, one
  // whose end does but whose section lies outside; and a "PROP".
  const Bytes decoys =
      With(With(With(With(Filler(80, 4), 10, "SECd"), 40, "SECd"), 48, 1), 64,
           i.bytes.size() + 40);

  const struct {
    const char* name;
    Bytes bytes;
  } layouts[] = {
      {"PROP last", MakeX3f(kPropLast).bytes},
      {"IMA2 last", i.bytes},
      {"glued", Joined(i.bytes, glued)},
      {"glued, same layout", Joined(i.bytes, i.bytes)},
      {"decoys", Joined(i.bytes, With(decoys, 70, "PROP"))},
      {"truncated", Head(i.bytes, i.bytes.size() - 22)},
      {"not an X3F start", With(i.bytes, 0, "FOVa")},
  };
  ScopedTempDir dir;
  const std::string path = dir.File("scan.X3F");
  for (const auto& layout : layouts) {
    for (std::size_t junk = 0; junk <= 24; junk += 3) {
      const Bytes bytes =
          Joined(layout.bytes, Filler(junk, static_cast<unsigned>(junk)));
      const X3fEnds want = ReferenceEnds(bytes);
      WriteFile(path, bytes);
      const InputFile input(path);
      for (std::size_t block :
           {1u, 2u, 3u, 4u, 11u, 12u, 13u, 16u, 64u, 4096u}) {
        const X3fEnds got = FindX3fEndsInFile(
            input, static_cast<std::int64_t>(bytes.size()), block);
        EXPECT_EQ(want.end, got.end)
            << layout.name << " junk " << junk << " block " << block;
        EXPECT_EQ(want.rule_tail, got.rule_tail)
            << layout.name << " junk " << junk << " block " << block;
      }
    }
  }
  // The definition gives what the layouts were made for.
  EXPECT_EQ(static_cast<std::int64_t>(i.bytes.size()),
            ReferenceEnds(Joined(i.bytes, glued)).end);
  EXPECT_EQ(static_cast<std::int64_t>(i.bytes.size()),
            ReferenceEnds(Joined(i.bytes, decoys)).end);
  EXPECT_EQ(kNoTail, ReferenceEnds(Head(i.bytes, i.bytes.size() - 22)).end);
}

}  // namespace
}  // namespace velkrane
