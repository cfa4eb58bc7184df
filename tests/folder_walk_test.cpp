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

// "path = relative" per found file, paths below `root`, '/' between names.
std::vector<std::string> Shown(const std::vector<FoundFile>& found,
                               const std::string& root) {
  std::vector<std::string> shown;
  for (const FoundFile& f : found) {
    std::string line =
        f.path.substr(root.size() + 1) + " = " + f.relative + f.error;
    for (char& c : line) {
      if (c == kPathSeparator) c = '/';
    }
    shown.push_back(line);
  }
  return shown;
}

TEST(FolderWalk, FindsX3fFilesInNameOrder) {
  ScopedTempDir dir;
  const std::string photo = "\xe5\x86\x99\xe7\x9c\x9f.X3F";
  for (const char* name :
       {"b.X3F", "a.x3f", "notes.txt", "x3f", "a.x3f.bak", "Sub/c.X3f",
        "Sub/deep/d.X3F", "Sub/PostProcessed/old.X3F", "PostProcessed/old.X3F",
        "out/e.X3F", photo.c_str()}) {
    testing::fs::create_directories(
        testing::PathOf(dir.File(name)).parent_path());
    testing::WriteFile(dir.File(name), {1});
  }
  testing::fs::create_directories(testing::PathOf(dir.File("empty.x3f")));
  const std::string root = dir.Path(), sub = dir.File("Sub"),
                    out = dir.File("out");
  const std::vector<std::string> tree = {
      "Sub/c.X3f = Sub/c.X3f", "Sub/deep/d.X3F = Sub/deep/d.X3F",
      "a.x3f = a.x3f", "b.X3F = b.X3F", photo + " = " + photo};
  const struct {
    std::vector<std::string> paths;
    std::string excluded;
    std::vector<std::string> want;
    bool needs_link;
  } cases[] = {
      // The excluded folder (the output) is skipped; "out" is walked without.
      {{root}, out, tree, false},
      {{root},
       "",
       {tree[0], tree[1], tree[2], tree[3], "out/e.X3F = out/e.X3F", tree[4]},
       false},
      // Given directly: a file, whatever its name, a missing path, a
      // PostProcessed folder; a folder met again is not walked twice.
      {{dir.File("notes.txt"), dir.File("gone.X3F"), dir.File("PostProcessed"),
        sub, root},
       out,
       {"notes.txt = notes.txt", "gone.X3F = gone.X3F",
        "PostProcessed/old.X3F = old.X3F", "Sub/c.X3f = c.X3f",
        "Sub/deep/d.X3F = deep/d.X3F", tree[2], tree[3], tree[4]},
       false},
      // The link is entered once, as the first path that reaches its folder.
      {{root}, out, tree, true},
      {{sub},
       out,
       {"Sub/c.X3f = c.X3f", "Sub/deep/d.X3F = deep/d.X3F",
        "Sub/loop/a.x3f = loop/a.x3f", "Sub/loop/b.X3F = loop/b.X3F",
        "Sub/loop/" + photo + " = loop/" + photo},
       true},
  };
  for (const auto& c : cases) {
    // A link from Sub back up to the root, made before the first row that
    // needs it; where links cannot be made (Wine), those rows are left out.
    std::error_code no_link;
    if (c.needs_link && !testing::Exists(dir.File("Sub/loop"))) {
      testing::fs::create_directory_symlink(
          testing::PathOf(root), testing::PathOf(dir.File("Sub/loop")),
          no_link);
    }
    if (no_link) continue;
    EXPECT_EQ(c.want, Shown(FindX3fFiles(c.paths, c.excluded), root))
        << c.paths[0];
  }
}

}  // namespace
}  // namespace velkrane
