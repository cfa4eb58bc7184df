// What only POSIX systems have: links, FIFOs, devices, sparse files, and
// names in which '\' and ':' are ordinary characters.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "batch/batch_run.h"
#include "fileio/error.h"
#include "fileio/file_io.h"
#include "fileio/path_parts.h"
#include "x3f/tail_repair.h"
#include "test_util.h"

namespace velkrane {
namespace {

using testing::Bytes;
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

TEST(PosixPaths, Parts) {
  const struct {
    const char* path;
    const char* folder;
    const char* name;
    const char* output;
  } cases[] = {
      {"/a/b/c.X3F", "/a/b/", "c.X3F", "/a/b/PostProcessed/"},
      {"/c.X3F", "/", "c.X3F", "/PostProcessed/"},
      {"c.X3F", "", "c.X3F", "PostProcessed/"},
      {"/a/C:\\x.X3F", "/a/", "C:\\x.X3F", "/a/PostProcessed/"},
      {"/a/b/", "/a/b/", "", "/a/b/PostProcessed/"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.folder, DirectoryPart(c.path)) << c.path;
    EXPECT_EQ(c.name, FileNamePart(c.path)) << c.path;
    EXPECT_EQ(c.output, OutputFolderFor(c.path)) << c.path;
  }
}

TEST(PosixFiles, SpecialEntriesFailAtOnce) {
  ScopedTempDir dir;
  ASSERT_EQ(0, ::mkfifo(dir.File("fifo").c_str(), 0600));
  ASSERT_EQ(0, ::symlink(dir.File("loop").c_str(), dir.File("loop").c_str()));
  ASSERT_EQ(0, ::symlink(dir.File("gone").c_str(), dir.File("dangling").c_str()));
  for (const std::string& source :
       {dir.File("fifo"), std::string("/dev/zero"), dir.File("loop"),
        dir.File("dangling")}) {
    const std::string outcome = Repair(source, dir.File("out.X3F"));
    EXPECT_EQ(0u, outcome.rfind("error: Cannot open " + source, 0)) << outcome;
  }
  EXPECT_FALSE(Exists(dir.File("out.X3F")));
}

TEST(PosixFiles, TargetThatIsTheSourceIsRefused) {
  ScopedTempDir dir;
  const std::string source = dir.File("src.X3F");
  const Bytes bytes = WriteSource(source, 100, 200);
  ASSERT_EQ(0, ::link(source.c_str(), dir.File("hard.X3F").c_str()));
  ASSERT_EQ(0, ::symlink(dir.Path().c_str(), dir.File("alias").c_str()));
  for (const std::string& target : {dir.File("hard.X3F"), dir.File("alias/src.X3F")}) {
    EXPECT_EQ("error: Cannot write " + target + ": it is the source file itself",
              Repair(source, target));
    EXPECT_EQ(bytes, ReadFile(source));
  }
  EXPECT_EQ(3u, Listing(dir.Path()).size());
}

TEST(PosixFiles, TwoGigabyteSparseSourceUsesTheWindow) {
  // Sizes are 64-bit: a source past 2 GiB is just one larger than the window.
  ScopedTempDir dir;
  const std::string source = dir.File("huge.X3F");
  WriteSource(source, 500, 1000);
  ASSERT_EQ(0, ::truncate(source.c_str(), (3ll << 30)));
  EXPECT_EQ(std::string(kTailFoundPrefix) + "out.X3F", Repair(source, dir.File("out.X3F")));
  EXPECT_EQ(508u, ReadFile(dir.File("out.X3F")).size());
}

TEST(PosixFiles, PlantedTemporaryNamesAreNeverFollowed) {
  // A link lying in wait at the name the copy tries first: it is neither
  // written through nor replaced; the copy takes the next name.
  ScopedTempDir dir;
  const std::string victim = dir.File("victim");
  WriteFile(victim, {'v'});
  testing::PredictableTemporaryNames names;
  const std::string link = names.Next(dir.File("out.X3F"));
  ASSERT_EQ(0, ::symlink(victim.c_str(), link.c_str()));
  Bytes bytes = Filler(100);
  Plant(bytes, 50);
  WriteFile(dir.File("src.X3F"), bytes);
  std::string message;
  PostProcessFile(dir.File("src.X3F"), dir.File("out.X3F"), message);
  EXPECT_EQ(Bytes{'v'}, ReadFile(victim));
  EXPECT_EQ(Bytes{'v'}, ReadFile(link));
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 58), ReadFile(dir.File("out.X3F")));
}

TEST(PosixFiles, CopyBetweenKindsOfFileSystemIsExact) {
  // Between file systems of different kinds the kernel refuses its own copy
  // (EXDEV) and the bytes go through our buffer instead; every one must land.
  ScopedTempDir here;
  if (!testing::fs::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm";
  ScopedTempDir there("/dev/shm");
  struct statfs from, to;
  ASSERT_EQ(0, ::statfs(here.Path().c_str(), &from));
  ASSERT_EQ(0, ::statfs(there.Path().c_str(), &to));
  if (from.f_type == to.f_type) GTEST_SKIP() << "one kind of file system";

  // Several copy blocks and a part block.
  const Bytes bytes = WriteSource(here.File("a.X3F"), 3000017 - 300, 3000017);
  EXPECT_EQ(std::string(kTailFoundPrefix) + "a.X3F",
            Repair(here.File("a.X3F"), there.File("a.X3F")));
  EXPECT_EQ(Head(bytes, bytes.size() - 292), ReadFile(there.File("a.X3F")));
  EXPECT_EQ(1u, Listing(there.Path()).size());
}

TEST(PosixFiles, InputFileReleasesItsDescriptor) {
  ScopedTempDir dir;
  WriteFile(dir.File("a"), Filler(10));
  WriteFile(dir.File("b"), Filler(10));
  const int before = ::dup(0);
  ::close(before);
  {
    InputFile a(dir.File("a"));
    InputFile b(dir.File("b"));
    a = std::move(b);  // must close what a held, the lowest free descriptor
    const int probe = ::dup(0);
    EXPECT_EQ(before, probe);
    ::close(probe);
  }
  const int after = ::dup(0);
  EXPECT_EQ(before, after);
  ::close(after);
}

TEST(PosixFiles, CreateFoldersMakesParents) {
  ScopedTempDir dir;
  CreateFolders(dir.File("a/b/c/"));
  EXPECT_TRUE(FolderExists(dir.File("a/b/c")));
  CreateFolders(dir.File("a/b/c"));  // already there
  WriteFile(dir.File("file"), {'f'});
  EXPECT_THROW(CreateFolders(dir.File("file/sub")), Error);
  EXPECT_THROW(CreateFolders(dir.File("file")), Error);
}

}  // namespace
}  // namespace velkrane
