#include "batch/folder_walk.h"

#include <gtest/gtest.h>

#include <string>
#include <system_error>
#include <vector>

#include "fileio/file_io.h"
#include "test_util.h"

namespace velkrane {
namespace {

using testing::ScopedTempDir;
using testing::WriteFile;

// Found paths relative to `root`, with '/' between names, and errors marked.
std::vector<std::string> Shown(const std::vector<FoundFile> &found,
                               const std::string &root) {
  std::vector<std::string> shown;
  for (const FoundFile &f : found) {
    std::string path =
        f.path.rfind(root, 0) == 0 ? f.path.substr(root.size() + 1) : f.path;
    std::string line = path + " = " + f.relative + (f.error.empty() ? "" : " !");
    for (char &c : line) {
      if (c == kPathSeparator) c = '/';
    }
    shown.push_back(line);
  }
  return shown;
}

const std::string kPhoto = "\xe5\x86\x99\xe7\x9c\x9f.X3F";

void MakeTree(const ScopedTempDir &dir) {
  for (const std::string &name : std::vector<std::string>{
           "b.X3F", "a.x3f", "notes.txt", "x3f", "a.x3f.bak", "Sub/c.X3f",
           "Sub/deep/d.X3F", "Sub/PostProcessed/old.X3F", "PostProcessed/old.X3F",
           "out/e.X3F", kPhoto}) {
    testing::fs::create_directories(testing::PathOf(dir.File(name)).parent_path());
    WriteFile(dir.File(name), {1});
  }
  testing::fs::create_directories(testing::PathOf(dir.File("empty.x3f")));
}

TEST(FolderWalk, FindsX3fFilesInNameOrder) {
  ScopedTempDir dir;
  MakeTree(dir);
  const std::string root = dir.Path();
  const std::string sub = dir.File("Sub");
  const std::string tree[] = {"Sub/c.X3f = Sub/c.X3f", "Sub/deep/d.X3F = Sub/deep/d.X3F",
                              "a.x3f = a.x3f", "b.X3F = b.X3F", kPhoto + " = " + kPhoto};
  const struct {
    std::vector<std::string> paths;
    std::string excluded;
    std::vector<std::string> want;
  } cases[] = {
      // The excluded folder (the output) is skipped; "out" is walked without.
      {{root}, dir.File("out"), {tree[0], tree[1], tree[2], tree[3], tree[4]}},
      {{root},
       "",
       {tree[0], tree[1], tree[2], tree[3], "out/e.X3F = out/e.X3F", tree[4]}},
      // Given directly: a file, whatever its name, a missing path, a
      // PostProcessed folder; a folder met again is not walked twice.
      {{dir.File("notes.txt"), dir.File("gone.X3F"), dir.File("PostProcessed"), sub,
        root},
       dir.File("out"),
       {"notes.txt = notes.txt", "gone.X3F = gone.X3F", "PostProcessed/old.X3F = old.X3F",
        "Sub/c.X3f = c.X3f", "Sub/deep/d.X3F = deep/d.X3F", tree[2], tree[3], tree[4]}},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(c.want, Shown(FindX3fFiles(c.paths, c.excluded), root)) << c.excluded;
  }
}

// A folder link back up the tree is entered once, as the first path that
// reaches it. Where links cannot be made (Wine), there is nothing to test.
TEST(FolderWalk, LinkLoopIsWalkedOnce) {
  ScopedTempDir dir;
  MakeTree(dir);
  const std::string root = dir.Path();
  std::error_code error;
  testing::fs::create_directory_symlink(testing::PathOf(root),
                                        testing::PathOf(dir.File("Sub/loop")), error);
  if (error) GTEST_SKIP() << "no folder links here: " << error.message();
  EXPECT_EQ((std::vector<std::string>{"Sub/c.X3f = Sub/c.X3f",
                                      "Sub/deep/d.X3F = Sub/deep/d.X3F", "a.x3f = a.x3f",
                                      "b.X3F = b.X3F", kPhoto + " = " + kPhoto}),
            Shown(FindX3fFiles({root}, dir.File("out")), root));
  EXPECT_EQ((std::vector<std::string>{"Sub/c.X3f = c.X3f", "Sub/deep/d.X3F = deep/d.X3F",
                                      "Sub/loop/a.x3f = loop/a.x3f",
                                      "Sub/loop/b.X3F = loop/b.X3F",
                                      "Sub/loop/" + kPhoto + " = loop/" + kPhoto}),
            Shown(FindX3fFiles({dir.File("Sub")}, dir.File("out")), root));
}

}  // namespace
}  // namespace velkrane
