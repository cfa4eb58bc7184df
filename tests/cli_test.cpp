// velkrane-cli as a user runs it: the real program on real folder trees.

#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "batch/repair_one.h"
#include "batch/run_texts.h"
#include "batch/tree_run.h"
#include "cli_process.h"
#include "fileio/file_io.h"
#include "fileio/path_parts.h"
#include "test_util.h"
#include "x3f_sample.h"

namespace velkrane {
namespace {

using testing::Bytes;
using testing::BytesOf;
using testing::CliRun;
using testing::Filler;
using testing::Head;
using testing::Joined;
using testing::kIma2Last;
using testing::kPropLast;
using testing::MakeX3f;
using testing::ReadFile;
using testing::RunCli;
using testing::ScopedTempDir;
using testing::WriteFile;
using Json = nlohmann::json;

/// Every file below a folder ('/' between names) with its size and a hash of
/// its bytes, short to print, and every empty folder (ending in '/').
using Tree = std::map<std::string, std::string>;

std::string Fingerprint(const Bytes& bytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const unsigned char b : bytes) hash = (hash ^ b) * 1099511628211ull;
  return std::to_string(bytes.size()) + " bytes, " + std::to_string(hash);
}

// With the file layer's listing: the Windows build's C++ library cannot open
// folders past 260 characters.
void AddToSnapshot(const std::string& folder, const std::string& prefix,
                   Tree& tree) {
  for (const FolderEntry& entry : ListFolder(folder)) {
    const std::string path = WithTrailingSeparator(folder) + entry.name;
    if (entry.kind == EntryKind::kFolder) {
      const std::size_t before = tree.size();
      AddToSnapshot(path, prefix + entry.name + "/", tree);
      if (tree.size() == before)
        tree[prefix + entry.name + "/"] = "empty folder";
    } else {
      tree[prefix + entry.name] = Fingerprint(ReadFile(path));
    }
  }
}

Tree Snapshot(const std::string& folder) {
  Tree tree;
  if (KindOf(folder) == EntryKind::kFolder) AddToSnapshot(folder, "", tree);
  return tree;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct Photo {
  std::string relative;  // below the card, '/' between names
  Bytes bytes;
  Bytes copy;       // what the repair keeps; empty when there is no tail
  Bytes rule_copy;  // what the plain rule keeps
};

/// A card as recovered: nested folders, both letter cases, a folder past 260
/// characters, a Japanese name, a file without a tail, a photo with the next
/// one glued on, junk holding "PROP", an earlier run's copy, a text file.
struct Card {
  Card() {
    const Bytes a = MakeX3f(kPropLast, 1).bytes,
                b = MakeX3f(kIma2Last, 2).bytes;
    const Bytes c = MakeX3f(kPropLast, 4).bytes,
                d = MakeX3f(kIma2Last, 6).bytes;
    const Bytes glued = MakeX3f(kPropLast, 5).bytes;
    Bytes junk = Filler(60, 3);
    testing::Plant(junk, 20);
    const std::string deep =
        std::string(120, 'd') + "/" + std::string(120, 'e');
    photos = {
        {"A.X3F", Joined(a, Filler(300, 7)), a, a},
        // The rule cuts an IMA2-last file 24 bytes short, in its directory.
        {deep + "/long.x3F", Joined(d, Filler(9, 8)), d,
         Head(d, d.size() - 24)},
        {"none.X3F", Filler(500, 9), {}, {}},
        {"sub/b.x3f", Joined(b, junk), b, Joined(b, Head(junk, 28))},
        {"sub/deep/\xe5\x86\x99\xe7\x9c\x9f.X3f", Joined(c, glued), c,
         Joined(c, glued)},
    };
    for (const Photo& photo : photos) Put(photo.relative, photo.bytes);
    Put("PostProcessed/A.X3F", photos[0].bytes);
    Put("notes.txt", testing::BytesOf("PROP notes PROP"));
  }
  void Put(const std::string& relative, const Bytes& bytes) {
    testing::fs::create_directories(
        testing::PathOf(dir.File(relative)).parent_path());
    WriteFile(dir.File(relative), bytes);
  }

  ScopedTempDir dir;
  std::vector<Photo> photos;
};

std::string WithPostProcessed(const std::string& relative) {
  const auto slash = relative.rfind('/') + 1;  // 0 when there is none
  return relative.substr(0, slash) + kOutputFolderName + "/" +
         relative.substr(slash);
}

TEST(CommandLine, RepairsATree) {
  const struct {
    std::vector<std::string> options;
    bool dry_run, rule_only, to_out, json;
  } runs[] = {
      {{}, false, false, false, false},
      {{"--output"}, false, false, true, false},
      {{"-n"}, true, false, false, false},
      {{"--dry-run", "-o"}, true, false, true, false},
      {{"--rule-only", "-o"}, false, true, true, false},
      {{"--json"}, false, false, false, true},
      {{"--json", "--rule-only", "-n"}, true, true, false, true},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(::testing::PrintToString(run.options));
    Card card;
    ScopedTempDir out_dir;
    const std::string out = out_dir.File("copies");
    std::vector<std::string> args = run.options;
    if (run.to_out) args.push_back(out);
    args.push_back(card.dir.Path());
    Tree want = Snapshot(card.dir.Path());
    Tree want_out;
    const CliRun result = RunCli(args);
    EXPECT_EQ(1, result.status) << result.err;  // none.X3F has no tail
    EXPECT_EQ("", result.err);
    const std::vector<std::string> shown = Lines(result.out);
    const std::size_t count = card.photos.size();
    ASSERT_EQ(count + (run.json || run.dry_run ? 1 : 2), shown.size())
        << result.out;

    std::int64_t cut = 0;
    for (std::size_t i = 0; i < count; ++i) {
      const Photo& photo = card.photos[i];
      const Bytes& copy = run.rule_only ? photo.rule_copy : photo.copy;
      const auto length = static_cast<std::int64_t>(copy.size());
      const std::int64_t bytes_cut =
          static_cast<std::int64_t>(photo.bytes.size()) - length;
      const std::string source = card.dir.File(photo.relative);
      const std::string target =
          run.to_out ? out + kPathSeparator + photo.relative
                     : card.dir.File(WithPostProcessed(photo.relative));
      if (!copy.empty()) cut += bytes_cut;
      if (run.json) {
        const Json line = Json::parse(shown[i]);
        EXPECT_EQ(source, line["source"]);
        EXPECT_EQ(run.dry_run ? Json() : Json(target), line["target"]);
        EXPECT_TRUE(line["error"].is_null());
        EXPECT_EQ(copy.empty()  ? "no_tail"
                  : run.dry_run ? "would_repair"
                                : "repaired",
                  line["outcome"]);
        EXPECT_EQ(copy.empty() ? Json() : Json(length), line["length"]);
        EXPECT_EQ(copy.empty() ? Json() : Json(length - 8), line["tail"]);
        EXPECT_EQ(copy.empty() ? Json() : Json(bytes_cut), line["bytes_cut"]);
        EXPECT_EQ(
            copy.empty() ? Json() : Json(run.rule_only ? "rule" : "structure"),
            line["tail_from"]);
        EXPECT_EQ(copy == photo.copy && !copy.empty(),
                  line["structure"] == "complete");
      } else if (copy.empty()) {
        EXPECT_EQ(source + ":" + kNoTailMessage, shown[i]);
      } else {
        const std::string said =
            source + ":" +
            (run.dry_run ? kWouldCutPrefix + std::to_string(bytes_cut) +
                               kWouldCutMiddle + std::to_string(length - 8)
                         : kTailFoundPrefix + FileNamePart(target));
        // The verdict follows: complete at the file's own end, a problem
        // where the plain rule cuts into a directory or keeps a glued photo.
        if (copy == photo.copy) {
          EXPECT_EQ(said + " (complete X3F)", shown[i]);
        } else {
          EXPECT_EQ(0u, shown[i].rfind(said + " (", 0)) << shown[i];
          EXPECT_EQ(std::string::npos, shown[i].find("complete X3F"))
              << shown[i];
        }
      }
      if (run.dry_run || copy.empty()) continue;
      (run.to_out ? want_out[photo.relative]
                  : want[WithPostProcessed(photo.relative)]) =
          Fingerprint(copy);
    }
    if (run.json) {
      const Json summary = Json::parse(shown[count]);
      EXPECT_EQ("summary", summary["type"]);
      EXPECT_EQ(run.dry_run ? 0 : 4, summary["repaired"]);
      EXPECT_EQ(run.dry_run ? 4 : 0, summary["would_repair"]);
      EXPECT_EQ(1, summary["no_tail"]);
      EXPECT_EQ(0, summary["failed"]);
      EXPECT_EQ(cut, summary["bytes_cut"]);
    } else {
      EXPECT_EQ((run.dry_run ? "Would repair 4" : "Repaired 4") +
                    std::string(", without a tail 1, failed 0; ") +
                    std::to_string(cut) +
                    (run.dry_run ? " bytes would be cut. Nothing was written."
                                 : " bytes cut."),
                shown[count]);
    }
    // The whole trees: the sources and the old copy unchanged, nothing
    // written on a dry run (not even a folder), no temporaries.
    EXPECT_EQ(want, Snapshot(card.dir.Path()));
    EXPECT_EQ(want_out, Snapshot(out));
  }
}

TEST(CommandLine, ExitStatusAndMessages) {
  ScopedTempDir dir;
  const Bytes a = MakeX3f(kPropLast, 1).bytes;
  const std::string good = dir.File("A.X3F"), other = dir.File("other/A.X3F");
  const std::string none = dir.File("none.X3F"), missing = dir.File("gone.X3F");
  const std::string empty = dir.File("empty"), out = dir.File("out");
  testing::fs::create_directories(testing::PathOf(empty));
  testing::fs::create_directories(testing::PathOf(dir.File("other")));
  WriteFile(good, Joined(a, Filler(10)));
  WriteFile(other, MakeX3f(kIma2Last, 2).bytes);
  WriteFile(none, Filler(100));
  // An X3I: "FOVi", then several X3F images, which the plain rule would cut
  // after the last one's "PROP".
  const std::string x3i = dir.File("sfd/SDIM0005.X3I");
  testing::fs::create_directories(testing::PathOf(dir.File("sfd")));
  WriteFile(x3i, Joined(Joined(BytesOf("FOVi\0\0\0\0"), a),
                        MakeX3f(kPropLast, 3).bytes));
  const std::string x3i_failed = x3i + ":" + kFailedPrefix + kX3iFileError;
  const std::string repaired = good + ":" + kTailFoundPrefix + "A.X3F";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out_has, err_has, out_lacks;
  } cases[] = {
      {{}, 2, "", "PATH is required", ""},
      // The unknown option is what went wrong, not the missing PATH.
      {{"--bogus"},
       2,
       "",
       "velkrane-cli: The following argument was not expected: --bogus\n"
       "Run with --help for more information.\n",
       ""},
      {{"--bogus", good}, 2, "", "--bogus", repaired},
      {{"-o"}, 2, "", "--output", ""},
      {{"-o", "", good}, 2, "", "--output", repaired},
      {{"--help"}, 0, "Usage: velkrane-cli [OPTIONS] PATH...", "", ""},
      {{"--version"}, 0, "velkrane-cli 1.0.0\n", "", ""},
      {{good}, 0, repaired, "", ""},
      {{"--dry-run", good}, 0, good + ":" + kWouldCutPrefix + "10", "", ""},
      {{"-n", none}, 1, none + ":" + kNoTailMessage, "", ""},
      {{x3i},
       1,
       x3i_failed + "\nRepaired 0, without a tail 0, failed 1",
       "",
       ""},
      {{"-n", x3i}, 1, x3i_failed, "", ""},
      // A missing path fails alone; the files after it are still repaired.
      {{missing, good},
       1,
       missing + ":" + kFailedPrefix + "Cannot open " + missing,
       "",
       ""},
      // A path that starts with '/' is a path on Windows too, not an option.
      {{"/nowhere/gone.X3F"},
       1,
       "/nowhere/gone.X3F:" + std::string(kFailedPrefix),
       "",
       ""},
      // Nothing is made for a file that cannot be opened.
      {{dir.File("nosuchdir/x.x3f")}, 1, "Cannot open", "", ""},
      {{"-q", good, none}, 1, none + ":" + kNoTailMessage, "", repaired},
      {{empty}, 1, "Repaired 0", "No X3F files found.", ""},
      // Two files at one path below two PATHs: the second may not replace
      // the first one's copy.
      {{"-o", out, good, other},
       1,
       other + ":" + kFailedPrefix + "Cannot write " + out + kPathSeparator +
           "A.X3F" + kTargetTakenSuffix,
       "",
       ""},
  };
  for (const auto& c : cases) {
    const CliRun run = RunCli(c.args);
    SCOPED_TRACE(::testing::PrintToString(c.args) + "\nout: " + run.out +
                 "\nerr: " + run.err);
    EXPECT_EQ(c.status, run.status);
    EXPECT_NE(std::string::npos, run.out.find(c.out_has));
    EXPECT_NE(std::string::npos, run.err.find(c.err_has));
    if (!c.out_lacks.empty()) {
      EXPECT_EQ(std::string::npos, run.out.find(c.out_lacks));
    }
  }
  EXPECT_EQ(a, ReadFile(out + kPathSeparator + "A.X3F"));
  EXPECT_FALSE(testing::Exists(dir.File("nosuchdir")));
  EXPECT_EQ(1u, testing::Listing(dir.File("sfd")).size())
      << "nothing beside " << x3i;
}

// Two target names that the disk takes for one file: the second copy fails
// instead of replacing the first. Through a linked folder on Linux; through
// letter case beyond ASCII on Windows ("ÉTÉ" and "été").
TEST(CommandLine, ACopyNeverReplacesAnotherOfTheSameRun) {
  ScopedTempDir dir;
  const Bytes first = MakeX3f(kPropLast, 1).bytes,
              second = MakeX3f(kPropLast, 2).bytes;
  const std::string out = dir.File("out");
  testing::fs::create_directories(testing::PathOf(out));
#ifdef _WIN32
  const std::string one_name = "\xc3\x89T\xc3\x89.X3F",
                    two_name = "\xc3\xa9t\xc3\xa9.X3F";
#else
  const std::string one_name = "x/A.X3F", two_name = "y/A.X3F";
  testing::fs::create_directories(testing::PathOf(out + "/x"));
  testing::fs::create_directory_symlink("x", testing::PathOf(out + "/y"));
#endif
  for (const char* folder : {"one/x", "two/y"}) {
    testing::fs::create_directories(testing::PathOf(dir.File(folder)));
  }
  WriteFile(dir.File("one/" + one_name), Joined(first, Filler(10)));
  WriteFile(dir.File("two/" + two_name), Joined(second, Filler(10)));

  const CliRun run = RunCli({"-o", out, dir.File("one"), dir.File("two")});
  EXPECT_EQ(1, run.status) << run.out << run.err;
  EXPECT_NE(std::string::npos, run.out.find(kTargetTakenSuffix)) << run.out;
  EXPECT_EQ(first, ReadFile(out + "/" + one_name));
}

// `velkrane-cli card | head -1`, or a pager the user quits: what cannot be
// shown is dropped, and every file is still repaired.
TEST(CommandLine, ClosedPipeDoesNotStopTheRun) {
  const Bytes photo = MakeX3f(kPropLast).bytes;
  const std::vector<std::string> names = {"SDIM0001.X3F", "SDIM0002.X3F",
                                          "SDIM0003.X3F"};
  const struct {
    std::vector<std::string> options;
    bool with_untailed;
    int status;
  } runs[] = {
      {{}, false, 0},
      {{"-q"}, true, 1},
      {{"--json"}, true, 1},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(::testing::PrintToString(run.options));
    ScopedTempDir dir;
    for (const std::string& name : names) {
      WriteFile(dir.File(name), Joined(photo, Filler(50)));
    }
    if (run.with_untailed) WriteFile(dir.File("SDIM0009.X3F"), Filler(200));
    std::vector<std::string> args = run.options;
    args.push_back(dir.Path());
    const CliRun result = testing::RunCliIntoClosedPipe(args);
    EXPECT_EQ(run.status, result.status) << result.err;
    EXPECT_EQ("", result.err);
    for (const std::string& name : names) {
      const std::string copy = dir.File(kOutputFolderName) + "/" + name;
      EXPECT_TRUE(testing::Exists(copy) && photo == ReadFile(copy)) << copy;
    }
  }
}

// Later cameras write files of 40 MB and more whose directory lies past the
// first 30,000,000 bytes; they are repaired as they come. --whole-file only
// lets the plain rule look past that point, here in a file without a header.
TEST(CommandLine, WholeFileWidensOnlyTheRule) {
  ScopedTempDir dir;
  const std::string photo = dir.File("SDIM0070.X3F"),
                    plain = dir.File("PLAIN.X3F");
  testing::WriteSparse(
      photo, testing::LargeX3f({"IMAG", "PROP"}, 45000000).Grow(45000100));
  testing::WriteSparse(
      plain, testing::SparseFile().Put(40000000, "PROP").Grow(45000000));
  const std::string out = dir.File(kOutputFolderName) + kPathSeparator;

  const CliRun as_they_come = RunCli({photo, plain});
  EXPECT_EQ(1, as_they_come.status);
  EXPECT_NE(std::string::npos,
            as_they_come.out.find("SDIM0070.X3F (complete X3F)"))
      << as_they_come.out;
  EXPECT_NE(std::string::npos,
            as_they_come.out.find(std::string("PLAIN.X3F:") + kNoTailMessage))
      << as_they_come.out;
  EXPECT_TRUE(Head(ReadFile(photo), 45000000) ==
              ReadFile(out + "SDIM0070.X3F"));
  EXPECT_FALSE(testing::Exists(out + "PLAIN.X3F"));

  const CliRun whole = RunCli({"--whole-file", plain});
  EXPECT_EQ(0, whole.status) << whole.out << whole.err;
  EXPECT_TRUE(Head(ReadFile(plain), 40000008) == ReadFile(out + "PLAIN.X3F"));
}

}  // namespace
}  // namespace velkrane
