// velkrane-cli as a user runs it: the real program on real folder trees.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
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

}  // namespace
}  // namespace velkrane
