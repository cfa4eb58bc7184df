// What only Windows has: drive colons and both slashes as separators, a
// source that another program holds open, and wide-character names.

#include <windows.h>

#include <gtest/gtest.h>

#include "batch/batch_run.h"
#include "batch/repair_one.h"
#include "batch/run_texts.h"
#include "fileio/error.h"
#include "fileio/file_io.h"
#include "fileio/path_parts.h"
#include "fileio/win32_text.h"
#include "test_util.h"

namespace velkrane {
namespace {

using testing::Bytes;
using testing::Exists;
using testing::Listing;
using testing::ReadFile;
using testing::Repair;
using testing::ScopedTempDir;
using testing::WriteFile;
using testing::WriteSource;

TEST(WindowsPaths, Parts) {
  const struct {
    const char* path;
    const char* folder;
    const char* name;
    const char* output;
  } cases[] = {
      {"C:\\a\\b\\c.X3F", "C:\\a\\b\\", "c.X3F", "C:\\a\\b\\PostProcessed\\"},
      {"C:/a/b/c.X3F", "C:/a/b/", "c.X3F", "C:/a/b/PostProcessed\\"},
      {"C:c.X3F", "C:", "c.X3F", "C:PostProcessed\\"},  // drive-relative
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
  const std::string source = dir.File("held.X3F");
  WriteSource(source, 50, 100);
  const HANDLE other =
      ::CreateFileW(Widen(source).c_str(), GENERIC_READ, FILE_SHARE_READ,
                    nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, other);
  const std::string held = Repair(source, dir.File("out.X3F"));
  ::CloseHandle(other);
  EXPECT_EQ(0u, held.rfind("error: Cannot open " + source, 0)) << held;
  EXPECT_FALSE(Exists(dir.File("out.X3F")));
  // Once the other program lets go, it works.
  EXPECT_EQ(std::string(kTailFoundPrefix) + "out.X3F",
            Repair(source, dir.File("out.X3F")));
  EXPECT_EQ(58u, ReadFile(dir.File("out.X3F")).size());
}

TEST(WindowsFiles, UnicodeAndLongNames) {
  ScopedTempDir dir;
  const std::string unicode = "\xe5\x86\x99\xe7\x9c\x9f \xc3\xa9\xe2\x82\xac";
  std::string deep = dir.Path();
  while (deep.size() < 300) deep += "\\" + std::string(40, 'd');
  for (const std::string& folder : {dir.File(unicode), deep}) {
    SCOPED_TRACE(folder.size());
    CreateFolders(folder);
    const std::string source = folder + "\\" + unicode + ".X3F";
    WriteSource(source, 60, 100);
    const std::string target = OutputFolderFor(source) + FileNamePart(source);
    // The output folder is not there yet: creating it is the batch run's job.
    EXPECT_EQ(0u, Repair(source, target).rfind("error: ", 0));
    CreateFolders(OutputFolderFor(source));
    EXPECT_EQ(std::string(kTailFoundPrefix) + unicode + ".X3F",
              Repair(source, target));
    EXPECT_EQ(68u, ReadFile(target).size());
  }
}

TEST(WindowsFiles, TargetThatIsTheSourceIsRefused) {
  ScopedTempDir dir;
  const std::string source = dir.File("src.X3F");
  const Bytes bytes = WriteSource(source, 50, 100);
  ASSERT_TRUE(::CreateHardLinkW(Widen(dir.File("hard.X3F")).c_str(),
                                Widen(source).c_str(), nullptr));
  EXPECT_EQ(0u, Repair(source, dir.File("hard.X3F")).rfind("error: ", 0));
  EXPECT_EQ(bytes, ReadFile(source));
  EXPECT_EQ(2u, Listing(dir.Path()).size());
}

TEST(WindowsFiles, DevicesAreNotRead) {
  EXPECT_EQ(0u, Repair("NUL", "out.X3F").rfind("error: ", 0));
}

}  // namespace
}  // namespace velkrane
