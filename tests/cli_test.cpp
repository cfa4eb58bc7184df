// velkrane-cli as a user runs it: the real program on real folder trees.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "batch/batch_run.h"
#include "batch/tree_run.h"
#include "cli_process.h"
#include "fileio/file_io.h"
#include "fileio/folder_list.h"
#include "fileio/path_parts.h"
#include "test_util.h"
#include "velkrane_version.h"
#include "x3f/tail_repair.h"
#include "x3f_sample.h"

namespace velkrane {
namespace {

using testing::Bytes;
using testing::CliRun;
using testing::Filler;
using testing::Joined;
using testing::kIma2Last;
using testing::kPropLast;
using testing::MakeX3f;
using testing::Plant;
using testing::Prefix;
using testing::ReadFile;
using testing::RunCli;
using testing::ScopedTempDir;
using testing::WriteFile;
namespace fs = testing::fs;

/// Every file and folder below `root` ('/' between names; folders end in
/// '/'), with each file's size and a hash of its bytes: short to print.
using Tree = std::map<std::string, std::string>;

std::string Fingerprint(const Bytes& bytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const unsigned char b : bytes) hash = (hash ^ b) * 1099511628211ull;
  return std::to_string(bytes.size()) + " bytes, " + std::to_string(hash);
}

// Listed with the file layer's own listing: the C++ library of the Windows
// build cannot open folders past 260 characters.
void AddToSnapshot(const std::string& folder, const std::string& prefix, Tree& tree) {
  for (const FolderEntry& entry : ListFolder(folder)) {
    const std::string path = WithTrailingSeparator(folder) + entry.name;
    if (entry.kind == EntryKind::kFolder) {
      tree[prefix + entry.name + "/"] = "folder";
      AddToSnapshot(path, prefix + entry.name + "/", tree);
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

std::string Native(std::string relative) {
  for (char& c : relative) {
    if (c == '/') c = kPathSeparator;
  }
  return relative;
}

struct Photo {
  std::string relative;  // below the card, '/' between names
  Bytes bytes;
  Bytes copy;       // what the repair keeps; empty when there is no tail
  Bytes rule_copy;  // what the plain rule keeps
};

/// A card as recovered: nested folders, both letter cases, a folder past
/// 260 characters, a Japanese name, a file without a tail, a photo with the
/// next one glued on, an earlier run's copies and a text file.
class Card {
 public:
  Card() {
    const Bytes a = MakeX3f(kPropLast, 1).bytes;
    const Bytes b = MakeX3f(kIma2Last, 2).bytes;
    Bytes b_junk = Filler(60, 3);
    Plant(b_junk, 20);  // the rule cuts after this "PROP" in the junk
    const Bytes c = MakeX3f(kPropLast, 4).bytes;
    const Bytes glued = MakeX3f(kPropLast, 5).bytes;
    const Bytes d = MakeX3f(kIma2Last, 6).bytes;
    photos_ = {
        {"A.X3F", Joined(a, Filler(300, 7)), a, a},
        {long_folder_ + "/long.x3F", Joined(d, Filler(9, 8)), d,
         Prefix(d, d.size() - 24)},
        {"none.X3F", Filler(500, 9), {}, {}},
        {"sub/b.x3f", Joined(b, b_junk), b, Joined(b, Prefix(b_junk, 28))},
        {"sub/deep/\xe5\x86\x99\xe7\x9c\x9f.X3f", Joined(c, glued), c, Joined(c, glued)},
    };
    for (const Photo& photo : photos_) Put(photo.relative, photo.bytes);
    Put("PostProcessed/A.X3F", photos_[0].bytes);
    Put("notes.txt", testing::BytesOf("PROP notes PROP"));
  }

  std::string Root() const { return dir_.Path(); }
  std::string File(const std::string& relative) const { return dir_.File(relative); }
  const std::vector<Photo>& Photos() const { return photos_; }

 private:
  void Put(const std::string& relative, const Bytes& bytes) {
    fs::create_directories(testing::PathOf(File(relative)).parent_path());
    WriteFile(File(relative), bytes);
  }

  ScopedTempDir dir_;
  const std::string long_folder_ = std::string(120, 'd') + "/" + std::string(120, 'e');
  std::vector<Photo> photos_;
};

std::string WithPostProcessed(const std::string& relative) {
  const auto slash = relative.rfind('/');
  return slash == std::string::npos
             ? std::string(kOutputFolderName) + "/" + relative
             : relative.substr(0, slash + 1) + kOutputFolderName + relative.substr(slash);
}

TEST(CommandLine, RepairsATree) {
  const struct {
    std::vector<std::string> options;
    bool dry_run, rule_only, to_out;
  } runs[] = {
      {{}, false, false, false},
      {{"--output"}, false, false, true},
      {{"-n"}, true, false, false},
      {{"--dry-run", "-o"}, true, false, true},
      {{"--rule-only", "-o"}, false, true, true},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(::testing::PrintToString(run.options));
    Card card;
    ScopedTempDir out_dir;
    const std::string out = out_dir.File("copies");
    const Tree before = Snapshot(card.Root());
    std::vector<std::string> args = run.options;
    if (run.to_out) args.push_back(out);
    args.push_back(card.Root());
    const CliRun result = RunCli(args);
    EXPECT_EQ(1, result.status) << result.err;  // none.X3F has no tail

    Tree want = before;
    Tree want_out;
    std::vector<std::string> shown = Lines(result.out);
    ASSERT_EQ(card.Photos().size() + (run.dry_run ? 1 : 2), shown.size()) << result.out;
    std::int64_t cut = 0;
    for (std::size_t i = 0; i < card.Photos().size(); ++i) {
      const Photo& photo = card.Photos()[i];
      const Bytes& copy = run.rule_only ? photo.rule_copy : photo.copy;
      std::string line = card.File(photo.relative) + ":";
      if (copy.empty()) {
        EXPECT_EQ(line + kNoTailMessage, shown[i]);
        continue;
      }
      const std::size_t bytes_cut = photo.bytes.size() - copy.size();
      cut += static_cast<std::int64_t>(bytes_cut);
      line += run.dry_run ? kWouldCutPrefix + std::to_string(bytes_cut) +
                                kWouldCutMiddle + std::to_string(copy.size() - 8)
                          : kTailFoundPrefix + FileNamePart(Native(photo.relative));
      // The verdict follows: complete at the file's own end, a problem where
      // the plain rule cuts into a directory or keeps a glued photo.
      if (copy == photo.copy) {
        EXPECT_EQ(line + " (complete X3F)", shown[i]);
      } else {
        EXPECT_EQ(0u, shown[i].rfind(line + " (", 0)) << shown[i];
        EXPECT_EQ(std::string::npos, shown[i].find("complete X3F")) << shown[i];
      }
      if (run.dry_run) continue;
      (run.to_out ? want_out[photo.relative] : want[WithPostProcessed(photo.relative)]) =
          Fingerprint(copy);
    }
    EXPECT_EQ(
        (run.dry_run ? "Would repair 4" : "Repaired 4") +
            std::string(", without a tail 1, failed 0; ") + std::to_string(cut) +
            (run.dry_run ? " bytes would be cut. Nothing was written." : " bytes cut."),
        shown[card.Photos().size()]);
    // Every new file's folders, then the whole trees: the sources and the
    // old copies unchanged, nothing written on a dry run, no temporaries.
    for (Tree* tree : {&want, &want_out}) {
      for (const auto& [path, bytes] : Tree(*tree)) {
        for (auto slash = path.find('/');
             slash != std::string::npos && slash + 1 < path.size();
             slash = path.find('/', slash + 1)) {
          (*tree)[path.substr(0, slash + 1)] = "folder";
        }
      }
    }
    EXPECT_EQ(want, Snapshot(card.Root()));
    EXPECT_EQ(want_out, Snapshot(out));
    EXPECT_EQ(0u, result.err.size()) << result.err;
  }
}

TEST(CommandLine, ExitStatusAndMessages) {
  ScopedTempDir dir;
  const Bytes a = MakeX3f(kPropLast, 1).bytes;
  const std::string good = dir.File("A.X3F");
  const std::string other = dir.File("other/A.X3F");
  const std::string none = dir.File("none.X3F");
  const std::string missing = dir.File("gone.X3F");
  const std::string empty = dir.File("empty");
  const std::string out = dir.File("out");
  fs::create_directories(testing::PathOf(empty));
  fs::create_directories(testing::PathOf(dir.File("other")));
  WriteFile(good, Joined(a, Filler(10)));
  WriteFile(other, MakeX3f(kIma2Last, 2).bytes);
  WriteFile(none, Filler(100));
  const std::string repaired = good + ":" + kTailFoundPrefix + "A.X3F";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out_has, err_has, out_lacks;
  } cases[] = {
      {{}, 2, "", "PATH is required", ""},
      {{"--bogus", good}, 2, "", "--bogus", repaired},
      {{"-o"}, 2, "", "--output", ""},
      {{"-o", "", good}, 2, "", "--output", repaired},
      {{"--help"}, 0, "Usage: velkrane-cli [OPTIONS] PATH...", "", ""},
      {{"--version"}, 0, "velkrane-cli 1.0.0\n", "", ""},
      {{good}, 0, repaired, "", ""},
      {{"--dry-run", good}, 0, good + ":" + kWouldCutPrefix + "10", "", ""},
      {{"-n", none}, 1, none + ":" + kNoTailMessage, "", ""},
      // A missing path fails alone; the files after it are still repaired.
      {{missing, good},
       1,
       missing + ":" + kFailedPrefix + "Cannot open " + missing,
       "",
       ""},
      {{"-q", good, none}, 1, none + ":" + kNoTailMessage, "", repaired},
      {{empty}, 1, "Repaired 0", "No X3F files found.", ""},
      // Two files at one path below two folders: the second may not replace
      // the first one's copy.
      {{"-o", out, good, other},
       1,
       other + ":" + kFailedPrefix + "Cannot write " + out + kPathSeparator + "A.X3F" +
           kTargetTakenSuffix,
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
}

TEST(CommandLine, JsonLinesHoldWhatTheFilesHold) {
  for (const bool rule_only : {false, true}) {
    Card card;
    const CliRun run = RunCli(
        rule_only ? std::vector<std::string>{"--json", "--rule-only", "-n", card.Root()}
                  : std::vector<std::string>{"--json", card.Root()});
    SCOPED_TRACE(run.out);
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(card.Photos().size() + 1, lines.size());
    std::int64_t cut = 0;
    for (std::size_t i = 0; i < card.Photos().size(); ++i) {
      const Photo& photo = card.Photos()[i];
      const nlohmann::json line = nlohmann::json::parse(lines[i]);
      const Bytes& copy = rule_only ? photo.rule_copy : photo.copy;
      const std::string target = card.File(WithPostProcessed(photo.relative));
      EXPECT_EQ("file", line["type"]);
      EXPECT_EQ(card.File(photo.relative), line["source"]);
      EXPECT_EQ(rule_only ? nlohmann::json() : nlohmann::json(target), line["target"]);
      EXPECT_TRUE(line["error"].is_null());
      if (copy.empty()) {
        EXPECT_EQ("no_tail", line["outcome"]);
        EXPECT_TRUE(line["tail"].is_null() && line["length"].is_null());
        EXPECT_NE("complete", line["structure"]);
        EXPECT_TRUE(line["structure"].is_string());
        continue;
      }
      const auto length = static_cast<std::int64_t>(copy.size());
      cut += static_cast<std::int64_t>(photo.bytes.size()) - length;
      EXPECT_EQ(rule_only ? "would_repair" : "repaired", line["outcome"]);
      EXPECT_EQ(length, line["length"]);
      EXPECT_EQ(length - 8, line["tail"]);
      EXPECT_EQ(static_cast<std::int64_t>(photo.bytes.size()) - length,
                line["bytes_cut"]);
      EXPECT_EQ(rule_only ? "rule" : "structure", line["tail_from"]);
      EXPECT_EQ(copy == photo.copy, line["structure"] == "complete") << line["structure"];
      if (!rule_only) {
        EXPECT_EQ(copy, ReadFile(target));
      }
    }
    const nlohmann::json summary = nlohmann::json::parse(lines.back());
    EXPECT_EQ("summary", summary["type"]);
    EXPECT_EQ(rule_only ? 0 : 4, summary["repaired"]);
    EXPECT_EQ(rule_only ? 4 : 0, summary["would_repair"]);
    EXPECT_EQ(1, summary["no_tail"]);
    EXPECT_EQ(0, summary["failed"]);
    EXPECT_EQ(cut, summary["bytes_cut"]);
  }
}

// Later cameras write files whose end lies past the first 30,000,000 bytes.
// Written sparse: a header and one huge image section, then the rest.
TEST(CommandLine, WholeFileReachesPastTheWindow) {
  ScopedTempDir dir;
  const std::string source = dir.File("SDIM0070.X3F");
  constexpr std::uint32_t kImage = 16, kProp = 70000000;
  Bytes head = testing::BytesOf("FOVb");
  head.resize(kImage);
  testing::Append(head, "SECi");
  Bytes rest = testing::BytesOf("SECp");
  rest.resize(40);
  const std::uint32_t directory = kProp + 40;
  testing::Append(rest, "SECd");
  testing::AppendUint32(rest, 0x00020000);
  testing::AppendUint32(rest, 2);
  for (const auto& [offset, length, type] :
       {std::tuple(kImage, kProp - kImage, "IMAG"), std::tuple(kProp, 40u, "PROP")}) {
    testing::AppendUint32(rest, offset);
    testing::AppendUint32(rest, length);
    testing::Append(rest, type);
  }
  testing::AppendUint32(rest, directory);
  const std::int64_t length = kProp + static_cast<std::int64_t>(rest.size());
  testing::Append(rest, "junk after the end");
  {
    std::ofstream file(testing::PathOf(source), std::ios::binary);
    file.write(reinterpret_cast<const char*>(head.data()),
               static_cast<std::streamsize>(head.size()));
    file.seekp(kProp);
    file.write(reinterpret_cast<const char*>(rest.data()),
               static_cast<std::streamsize>(rest.size()));
    ASSERT_TRUE(file.good());
  }
  const std::string copy = dir.File("PostProcessed/SDIM0070.X3F");

  const CliRun window_only = RunCli({source});
  EXPECT_EQ(1, window_only.status);
  EXPECT_NE(std::string::npos, window_only.out.find(kNoTailMessage)) << window_only.out;

  const CliRun whole = RunCli({"--whole-file", source});
  EXPECT_EQ(0, whole.status) << whole.out << whole.err;
  EXPECT_NE(std::string::npos, whole.out.find("(complete X3F)")) << whole.out;
  ASSERT_EQ(static_cast<std::uintmax_t>(length), fs::file_size(testing::PathOf(copy)));
  std::ifstream written(testing::PathOf(copy), std::ios::binary);
  written.seekg(kProp);
  std::string end(static_cast<std::size_t>(length - kProp), '\0');
  written.read(&end[0], static_cast<std::streamsize>(end.size()));
  EXPECT_EQ(
      std::string(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(end.size())),
      end);
}

}  // namespace
}  // namespace velkrane
