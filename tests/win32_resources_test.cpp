// The resources of the shipped executable, read back from the file, and the
// icons, which carry a picture for every size Windows asks for up to 200 %,
// so none is scaled from another.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "fileio/win32_text.h"
#include "resource.h"
#include "tests/win32_test_util.h"

namespace velkrane {
namespace {

TEST(ProgramResources, VersionRecord) {
  const std::wstring path = testing::ProgramPath();
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_NE(0u, size) << Narrow(path);
  std::vector<unsigned char> data(size);
  ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, data.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\",
                               reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
  EXPECT_EQ(0u, fixed->dwFileVersionLS);
  EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
  EXPECT_EQ(0u, fixed->dwProductVersionLS);
  EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);

  // The description under the record's own language and code page.
  struct Translation {
    WORD language, code_page;
  }* translation = nullptr;
  ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation),
                               &length));
  ASSERT_GE(length, sizeof *translation);
  wchar_t key[64];
  ::wsprintfW(key, L"\\StringFileInfo\\%04x%04x\\FileDescription",
              translation->language, translation->code_page);
  wchar_t* description = nullptr;
  ASSERT_TRUE(::VerQueryValueW(
      data.data(), key, reinterpret_cast<void**>(&description), &length));
  EXPECT_EQ("Velkrane", Narrow(description));
}

BOOL CALLBACK FirstName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR first) {
  *reinterpret_cast<WORD*>(first) =
      IS_INTRESOURCE(name) ? LOWORD(reinterpret_cast<ULONG_PTR>(name)) : 0;
  return FALSE;
}

TEST(ProgramResources, IconFirstAndManifest) {
  const HMODULE program = ::LoadLibraryExW(testing::ProgramPath().c_str(),
                                           nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, program);
  // Explorer shows the first icon group; it must be the program icon (1).
  WORD first_icon = 0;
  ::EnumResourceNamesW(program, RT_GROUP_ICON, &FirstName,
                       reinterpret_cast<LONG_PTR>(&first_icon));
  EXPECT_EQ(1, first_icon);
  const HRSRC manifest =
      ::FindResourceW(program, MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_NE(nullptr, manifest);
  const auto* text = static_cast<const char*>(
      ::LockResource(::LoadResource(program, manifest)));
  const std::string body(text, ::SizeofResource(program, manifest));
  EXPECT_NE(std::string::npos, body.find("Microsoft.Windows.Common-Controls"));
  EXPECT_NE(std::string::npos, body.find("version=\"6.0.0.0\""));
  // Per-monitor v2 where Windows has it, the older forms before.
  EXPECT_NE(std::string::npos,
            body.find(">PerMonitorV2, PerMonitor</dpiAwareness>"));
  EXPECT_NE(std::string::npos, body.find(">true/pm</dpiAware>"));
  ::FreeLibrary(program);
}

/// The sizes in an icon group, in the order stored; a width byte of 0 is 256.
/// Windows scales the nearest picture for a size missing here.
std::vector<int> GroupSizes(HMODULE module, WORD id) {
  const HRSRC group =
      ::FindResourceW(module, MAKEINTRESOURCEW(id), RT_GROUP_ICON);
  if (!group) return {};
  const auto* bytes =
      static_cast<const BYTE*>(::LockResource(::LoadResource(module, group)));
  // A 6-byte header whose third WORD is the count, then 14-byte entries.
  const WORD count = *reinterpret_cast<const WORD*>(bytes + 4);
  std::vector<int> sizes;
  for (WORD i = 0; i < count; ++i) {
    const BYTE width = bytes[6 + 14 * i];
    sizes.push_back(width == 0 ? 256 : width);
  }
  return sizes;
}

// desktop_files_test.sh checks that every picture of the icon files is drawn.
TEST(ProgramResources, IconsForEveryScale) {
  const HMODULE module = ::GetModuleHandleW(nullptr);
  EXPECT_EQ((std::vector<int>{16, 20, 24, 32, 40, 48, 64, 256}),
            GroupSizes(module, IDI_VELKRANE));
  EXPECT_EQ((std::vector<int>{16, 32, 48, 64}), GroupSizes(module, IDI_HEADER));
}

}  // namespace
}  // namespace velkrane
