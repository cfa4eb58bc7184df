// What only Windows has: drive colons and both slashes as separators, a
// source that another program holds open, and wide-character names.

#include <windows.h>

#include <gtest/gtest.h>

#include "batch/batch_run.h"
#include "fileio/error.h"
#include "fileio/file_io.h"
#include "fileio/path_parts.h"
#include "x3f/tail_repair.h"
#include "fileio/win32_text.h"
#include "test_util.h"

namespace velkrane {
namespace {

using testing::Bytes;
using testing::Exists;
using testing::Filler;
using testing::Listing;
using testing::Plant;
using testing::ReadFile;
using testing::ScopedTempDir;
using testing::WriteFile;

TEST(WindowsPaths, Parts) {
  const struct {
    const char* path;
    const char* folder;
    const char* name;
    const char* output;
  } cases[] = {
      {"C:\\a\\b\\c.X3F", "C:\\a\\b\\", "c.X3F", "C:\\a\\b\\PostProcessed\\"},
      {"C:/a/b/c.X3F", "C:/a/b/", "c.X3F", "C:/a/b/PostProcessed\\"},
      {"C:c.X3F", "C:", "c.X3F", "C:\\PostProcessed\\"},
      {"\\\\srv\\share\\c.X3F", "\\\\srv\\share\\", "c.X3F",
       "\\\\srv\\share\\PostProcessed\\"},
      {"c.X3F", "", "c.X3F", "PostProcessed\\"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.folder, DirectoryPart(c.path)) << c.path;
    EXPECT_EQ(c.name, FileNamePart(c.path)) << c.path;
    EXPECT_EQ(c.output, OutputFolderFor(c.path)) << c.path;
  }
}

TEST(WindowsFiles, SourceHeldOpenElsewhereFails) {
  ScopedTempDir dir;
  Bytes bytes = Filler(100);
  Plant(bytes, 50);
  const std::string source = dir.File("held.X3F");
  WriteFile(source, bytes);
  const HANDLE other = ::CreateFileW(Widen(source).c_str(), GENERIC_READ,
                                     FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                     nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, other);
  std::string message = "kept";
  try {
    PostProcessFile(source, dir.File("out.X3F"), message);
    ADD_FAILURE() << "opened a file another program holds";
  } catch (const Error& e) {
    EXPECT_EQ(0u, std::string(e.what()).find("Cannot open " + source)) << e.what();
  }
  ::CloseHandle(other);
  EXPECT_EQ("kept", message);
  EXPECT_FALSE(Exists(dir.File("out.X3F")));
  // Once the other program lets go, it works.
  PostProcessFile(source, dir.File("out.X3F"), message);
  EXPECT_EQ(58u, ReadFile(dir.File("out.X3F")).size());
}

TEST(WindowsFiles, UnicodeAndLongNames) {
  ScopedTempDir dir;
  Bytes bytes = Filler(100);
  Plant(bytes, 60);
  const std::string unicode = "\xe5\x86\x99\xe7\x9c\x9f \xc3\xa9\xe2\x82\xac";
  std::string deep = dir.Path();
  while (deep.size() < 300) deep += "\\" + std::string(40, 'd');
  for (const std::string& folder : {dir.File(unicode), deep}) {
    SCOPED_TRACE(folder.size());
    CreateFolders(folder);
    const std::string source = folder + "\\" + unicode + ".X3F";
    WriteFile(source, bytes);
    const std::string target = OutputFolderFor(source) + FileNamePart(source);
    std::string message;
    // The output folder is not there yet: creating it is the batch run's job.
    EXPECT_THROW(PostProcessFile(source, target, message), Error);
    CreateFolders(OutputFolderFor(source));
    PostProcessFile(source, target, message);
    EXPECT_EQ(std::string(kTailFoundPrefix) + unicode + ".X3F", message);
    EXPECT_EQ(68u, ReadFile(target).size());
  }
}

TEST(WindowsFiles, TargetThatIsTheSourceIsRefused) {
  ScopedTempDir dir;
  Bytes bytes = Filler(100);
  Plant(bytes, 50);
  const std::string source = dir.File("src.X3F");
  WriteFile(source, bytes);
  ASSERT_TRUE(::CreateHardLinkW(Widen(dir.File("hard.X3F")).c_str(),
                                Widen(source).c_str(), nullptr));
  std::string message;
  EXPECT_THROW(PostProcessFile(source, dir.File("hard.X3F"), message), Error);
  EXPECT_EQ(bytes, ReadFile(source));
  EXPECT_EQ(2u, Listing(dir.Path()).size());
}

TEST(WindowsFiles, DevicesAreNotRead) {
  std::string message = "kept";
  EXPECT_THROW(PostProcessFile("NUL", "out.X3F", message), Error);
  EXPECT_EQ("kept", message);
}

}  // namespace
}  // namespace velkrane
