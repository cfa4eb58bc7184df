#include "fileio/win32_text.h"

#include <algorithm>

namespace velkrane {

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(),
                                         static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                        &wide[0], size);
  return wide;
}

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size =
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                            nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                        &narrow[0], size, nullptr, nullptr);
  return narrow;
}

std::wstring WidePath(const std::string& path) {
  std::wstring wide = Widen(path);
  // Short paths stay as they are, so relative names and "/" keep working.
  if (wide.size() < MAX_PATH - 12) return wide;
  // The prefix below works on full paths only: a long relative one (a deep
  // tree under a folder given as "card") is made full first.
  if (wide.compare(0, 4, L"\\\\?\\") != 0) {
    const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    if (size > 0) {
      full.resize(::GetFullPathNameW(wide.c_str(), size, &full[0], nullptr));
      if (!full.empty()) wide = full;
    }
  }
  const bool drive = wide.size() > 2 && wide[1] == L':' &&
                     (wide[2] == L'\\' || wide[2] == L'/');
  const bool unc = wide.size() > 2 && wide[0] == L'\\' && wide[1] == L'\\' &&
                   wide[2] != L'?' && wide[2] != L'.';
  if (!drive && !unc) return wide;
  // "\\?\" turns off the system's own clean-up, so do the one part we need.
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  return drive ? L"\\\\?\\" + wide : L"\\\\?\\UNC\\" + wide.substr(2);
}

std::string SystemMessage(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD size = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = size ? std::wstring(buffer, size) : std::wstring();
  if (buffer) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' ||
                           text.back() == L' ' || text.back() == L'.')) {
    text.pop_back();
  }
  if (text.empty()) return "system error " + std::to_string(error);
  return Narrow(text);
}

}  // namespace velkrane
