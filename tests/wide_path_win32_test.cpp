#include <gtest/gtest.h>

#include <string>

#include "fileio/win32_text.h"

namespace velkrane {
namespace {

std::wstring CurrentFolder() {
  std::wstring folder(::GetCurrentDirectoryW(0, nullptr), L'\0');
  folder.resize(::GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), &folder[0]));
  return folder;
}

TEST(WidePath, LongPathsGetTheLongForm) {
  const std::string deep = std::string(150, 'd') + "\\" + std::string(150, 'e');
  const std::wstring wide_deep = Widen(deep);
  const std::wstring here = CurrentFolder();
  const std::wstring base = here.back() == L'\\' ? here : here + L"\\";
  const struct {
    std::string path;
    std::wstring want;
  } cases[] = {
      {"card\\IMG.X3F", L"card\\IMG.X3F"},
      {"C:\\" + deep, L"\\\\?\\C:\\" + wide_deep},
      {"\\\\server\\share\\" + deep, L"\\\\?\\UNC\\server\\share\\" + wide_deep},
      // Relative: made full first, or the prefix would name nothing.
      {deep, L"\\\\?\\" + base + wide_deep},
      {"card\\..\\" + deep, L"\\\\?\\" + base + wide_deep},
  };
  for (const auto& c : cases) EXPECT_EQ(Narrow(c.want), Narrow(WidePath(c.path)));
}

}  // namespace
}  // namespace velkrane
