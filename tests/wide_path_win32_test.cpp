// Paths at the Windows boundary: the long form, drive-relative names, and
// names that UTF-8 alone cannot hold.

#include <gtest/gtest.h>

#include <string>

#include "batch/batch_run.h"
#include "fileio/file_io.h"
#include "fileio/win32_text.h"
#include "recording_window.h"
#include "test_util.h"

namespace velkrane {
namespace {

using testing::Exists;
using testing::ReadFile;
using testing::Repair;
using testing::ScopedTempDir;
using testing::WriteSource;

std::wstring CurrentFolder() {
  std::wstring folder(::GetCurrentDirectoryW(0, nullptr), L'\0');
  folder.resize(
      ::GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), &folder[0]));
  return folder;
}

// The process's current folder (and so that of its drive) for one test.
class ScopedCurrentFolder {
 public:
  explicit ScopedCurrentFolder(const std::string& folder)
      : old_(CurrentFolder()) {
    EXPECT_TRUE(::SetCurrentDirectoryW(Widen(folder).c_str())) << folder;
  }
  ~ScopedCurrentFolder() { ::SetCurrentDirectoryW(old_.c_str()); }
  ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
  ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

 private:
  std::wstring old_;
};

// A folder below `dir` whose path is about 230 characters long: short
// enough to be a current folder, long enough that a short name below it
// passes the system's limit.
std::string DeepFolderIn(const ScopedTempDir& dir) {
  std::string deep = dir.Path();
  while (deep.size() < 220) deep += "\\" + std::string(20, 'd');
  CreateFolders(deep);
  return deep;
}

// The long form goes by the length of the path the system resolves, not of
// the text given: under a current folder of about 230 characters, a short
// name below it is long, and a bare name still short.
TEST(WidePath, LongPathsGetTheLongForm) {
  ScopedTempDir dir;
  const std::string here = DeepFolderIn(dir);
  const ScopedCurrentFolder in_here(here);
  const std::string deep = std::string(150, 'd') + "\\" + std::string(150, 'e');
  const std::string name = "sub\\" + std::string(30, 'n') + ".X3F";
  const struct {
    std::string path;
    std::string want;
  } cases[] = {
      {"x.X3F", "x.X3F"},
      {"C:\\" + deep, "\\\\?\\C:\\" + deep},
      {"\\\\server\\share\\" + deep, "\\\\?\\UNC\\server\\share\\" + deep},
      // Relative: made full first, or the prefix would name nothing.
      {name, "\\\\?\\" + here + "\\" + name},
      {deep, "\\\\?\\" + here + "\\" + deep},
      {"card\\..\\" + deep, "\\\\?\\" + here + "\\" + deep},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.want, Narrow(WidePath(c.path))) << c.path;
  }
}

// Decode with the names as given, relative to the current folder: each copy
// lands beside its source, where Windows resolves the name.
TEST(WidePath, RelativeNamesKeepTheirMeaning) {
  ScopedTempDir dir;
  const std::string drive = dir.Path().substr(0, 2);  // "C:"
  const std::string deep = DeepFolderIn(dir);
  const std::string long_name = std::string(30, 'n') + ".X3F";
  const struct {
    std::string current;
    std::string entry;
    std::string source;
  } cases[] = {
      // Drive-relative: the drive's current folder, never its root.
      {dir.Path(), drive + "x.X3F", dir.File("x.X3F")},
      {deep, "sub\\" + long_name, deep + "\\sub\\" + long_name},
  };
  for (const auto& c : cases) {
    CreateFolders(DirectoryPart(c.source));
    WriteSource(c.source, 50, 100);
    testing::RecordingWindow window;
    window.entries = {c.entry};
    {
      const ScopedCurrentFolder here(c.current);
      RunBatch(window);
    }
    const std::string copy = OutputFolderFor(c.source) + FileNamePart(c.source);
    EXPECT_EQ(58u, Exists(copy) ? ReadFile(copy).size() : 0u) << c.entry;
  }
  // A copy at the drive's root is the one that went astray: removed again,
  // and its folder if that is then empty.
  const std::string astray = drive + "\\PostProcessed\\x.X3F";
  EXPECT_FALSE(Exists(astray));
  if (::DeleteFileW(Widen(astray).c_str())) {
    ::RemoveDirectoryW(Widen(DirectoryPart(astray)).c_str());
  }
}

TEST(WideText, NamesUtf16HoldsComeBackExactly) {
  const std::wstring cases[] = {
      {L'a', 0xD800, L'z'},    // an unpaired high surrogate
      {0xDC00},                // an unpaired low one
      {L'x', 0xD83D},          // a high one at the end
      {0xDE00, 0xD83D},        // a pair the wrong way round: two alone
      {L'x', 0xD83D, 0xDE00},  // a real pair
  };
  for (const std::wstring& name : cases) {
    EXPECT_TRUE(name == Widen(Narrow(name))) << Narrow(name);
  }
  EXPECT_EQ("a\xED\xA0\x80z", Narrow({L'a', 0xD800, L'z'}));
  EXPECT_EQ("x\xF0\x9F\x98\x80", Narrow({L'x', 0xD83D, 0xDE00}));
}

// A name UTF-8 cannot hold once became U+FFFD, and so another file's name;
// now it names itself or fails, and the other file stays untouched.
TEST(WideText, NoNameStandsForAnother) {
  ScopedTempDir dir;
  WriteSource(dir.File("a\xEF\xBF\xBDz.X3F"), 50, 100);  // "a\uFFFDz.X3F"
  // Joined by hand: the C++ library refuses to convert these names.
  const std::string folder = dir.Path() + "\\";
  const struct {
    std::string source;
    const char* error;
  } cases[] = {
      {folder + Narrow({L'a', 0xD800, L'z'}) + ".X3F", "Cannot open "},
      {folder + "a\xFFz.X3F", kUnreadableName},  // not even WTF-8
  };
  for (const auto& c : cases) {
    const std::string got = Repair(c.source, dir.File("out.X3F"));
    EXPECT_EQ(0u, got.rfind("error: " + std::string(c.error) + c.source, 0))
        << got;
    EXPECT_FALSE(Exists(dir.File("out.X3F")));
  }
}

}  // namespace
}  // namespace velkrane
