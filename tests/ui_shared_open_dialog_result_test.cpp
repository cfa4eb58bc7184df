#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/test_util.h"
#include "ui/shared/open_dialog_result.h"

namespace velkrane {
namespace {

using Paths = std::vector<std::string>;

// Literals with embedded nulls; sizeof keeps them whole.
template <typename Char, std::size_t N>
std::basic_string<Char> Buffer(const Char (&text)[N]) {
  return std::basic_string<Char>(text, N - 1);
}

TEST(OpenDialogResult, SplitsSelections) {
  const struct {
    std::string buffer;
    Paths want;
    const char* what;
  } cases[] = {
      {Buffer("C:\\x\\a.X3F\0\0"), {"C:\\x\\a.X3F"}, "one full path"},
      {Buffer("C:\\x\0b.X3F\0a.X3F\0\0"),
       {"C:\\x\\b.X3F", "C:\\x\\a.X3F"},
       "folder then names, dialog order kept"},
      {Buffer("C:\\\0a.X3F\0b.X3F\0\0"),
       {"C:\\a.X3F", "C:\\b.X3F"},
       "a drive root already ends in a separator"},
      {Buffer("\\\\srv\\share\\d\0a b.X3F\0\0"),
       {"\\\\srv\\share\\d\\a b.X3F"},
       "network folder, name with a space"},
      {Buffer("C:\\x\\a.X3F\0\0stale\0\0"),
       {"C:\\x\\a.X3F"},
       "nothing after the double null is read"},
      {Buffer("\0\0"), {}, "empty result"},
      {Buffer("C:\\x\0a.X3F\0b.X3"), {}, "last name cut off"},
      {Buffer("C:\\x\0a.X3F\0"), {}, "list not ended by a second null"},
      {Buffer("C:\\x\\a.X3F"), {}, "path not ended at all"},
      {std::string(), {}, "zero-length buffer"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.want, SplitOpenDialogResult(c.buffer.data(), c.buffer.size()))
        << c.what;
  }
}

TEST(OpenDialogResult, StopsAtTheGivenSize) {
  // A full buffer followed by bytes that would complete the list: they lie
  // past the size and must not be used.
  const std::string memory = Buffer("C:\\x\0a.X3F\0\0");
  EXPECT_EQ(Paths{}, SplitOpenDialogResult(memory.data(), memory.size() - 1));
  EXPECT_EQ(Paths{"C:\\x\\a.X3F"},
            SplitOpenDialogResult(memory.data(), memory.size()));
}

TEST(OpenDialogResult, WideCharacters) {
  const std::wstring buffer =
      Buffer(L"C:\\\u00e9t\u00e9\0\u00e4.X3F\0b.X3F\0\0");
  const std::vector<std::wstring> want = {L"C:\\\u00e9t\u00e9\\\u00e4.X3F",
                                          L"C:\\\u00e9t\u00e9\\b.X3F"};
  EXPECT_EQ(want, SplitOpenDialogResult(buffer.data(), buffer.size()));
}

TEST(OpenDialogResult, FilterForTheDialog) {
  EXPECT_EQ(Buffer("X3F Files (*.X3F)\0*.X3F\0All Files (*.*)\0*.*\0\0"),
            NullSeparatedFilter());
}

// What the Linux chooser hands back goes to the list only when every path is
// a file; else the chooser opens again.
TEST(OpenDialogResult, ChooserReopensUnlessAllAreFiles) {
  testing::ScopedTempDir dir;
  testing::fs::create_directory(testing::PathOf(dir.File("card")));
  testing::WriteFile(dir.File("card/a.X3F"), {});
  const std::string card = dir.File("card"), a = dir.File("card/a.X3F");
  const struct {
    Paths paths;
    std::optional<std::string> want;
  } cases[] = {
      {{a}, std::nullopt},
      {{}, std::nullopt},
      {{card}, card},
      {{a, card + "/P"}, card + "/"},
      {{dir.File("gone/a.X3F")}, dir.File("gone/")},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.want, ChooserReopenFolder(c.paths))
        << ::testing::PrintToString(c.paths);
  }
}

}  // namespace
}  // namespace velkrane
