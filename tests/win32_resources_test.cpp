// The resources of the shipped executable, read back from the file.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "fileio/win32_text.h"

namespace velkrane {
namespace {

// Velkrane.exe is built into the same folder as this test program.
std::wstring ProgramPath() {
  std::wstring path(MAX_PATH * 4, L'\0');
  path.resize(
      ::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size())));
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"Velkrane.exe";
}

TEST(ProgramResources, VersionRecord) {
  const std::wstring path = ProgramPath();
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
  const HMODULE program = ::LoadLibraryExW(ProgramPath().c_str(), nullptr,
                                           LOAD_LIBRARY_AS_DATAFILE);
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
  ::FreeLibrary(program);
}

}  // namespace
}  // namespace velkrane
