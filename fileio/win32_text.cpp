#include "fileio/win32_text.h"

#include <algorithm>

#include "fileio/error.h"
#include "fileio/text.h"

namespace velkrane {

namespace {

// Paths whose full form is shorter than this go to the system as given.
// CreateDirectoryW takes a folder's full path only up to MAX_PATH less 12,
// the room for an 8.3 name inside it; one bound for every call keeps a folder
// and the files in it alike.
constexpr std::size_t kShortPathLimit = MAX_PATH - 12;

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// True when every byte belongs to a character (or a WTF-8 surrogate), so that
// Widen gives back exactly the name Narrow once made.
bool IsWtf8(const std::string& text) {
  for (std::size_t at = 0; at < text.size();) {
    const Utf8Char c = DecodeUtf8(text, at, Surrogates::kAllowed);
    if (c.code == kReplacementChar && c.length == 1) return false;
    at += c.length;
  }
  return true;
}

// `path` made full by the system, as it would resolve it now; empty when it
// cannot say.
std::wstring FullPath(const std::wstring& path) {
  const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return {};
  std::wstring full(size, L'\0');
  full.resize(::GetFullPathNameW(path.c_str(), size, &full[0], nullptr));
  return full;
}

}  // namespace

// WTF-8 both ways: a name with an unpaired surrogate, which NTFS allows and
// UTF-8 cannot hold, comes back as the same name rather than as U+FFFD.
std::wstring Widen(const std::string& text) {
  std::wstring wide;
  wide.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const Utf8Char c = DecodeUtf8(text, at, Surrogates::kAllowed);
    if (c.code < 0x10000) {
      wide += static_cast<wchar_t>(c.code);
    } else {
      wide += static_cast<wchar_t>(0xD800 + ((c.code - 0x10000) >> 10));
      wide += static_cast<wchar_t>(0xDC00 + ((c.code - 0x10000) & 0x3FF));
    }
    at += c.length;
  }
  return wide;
}

std::string Narrow(const std::wstring& text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t code = text[i];
    if (IsHighSurrogate(text[i]) && i + 1 < text.size() &&
        IsLowSurrogate(text[i + 1])) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    AppendUtf8(code, narrow);
  }
  return narrow;
}

std::wstring WidePath(const std::string& path) {
  if (!IsWtf8(path)) throw Error(kUnreadableName + path);
  std::wstring wide = Widen(path);
  if (wide.compare(0, 4, L"\\\\?\\") == 0) return wide;
  // The system's limit counts the full path, so a short relative name under a
  // deep current folder needs the long form too.
  const std::wstring full = FullPath(wide);
  // Short paths stay as they are, so that "C:x" and "/" keep their meaning.
  if (full.empty() || full.size() < kShortPathLimit) return wide;
  const bool drive = full.size() > 2 && full[1] == L':' &&
                     (full[2] == L'\\' || full[2] == L'/');
  const bool unc = full.size() > 2 && full[0] == L'\\' && full[1] == L'\\' &&
                   full[2] != L'?' && full[2] != L'.';
  if (!drive && !unc) return wide;
  wide = full;
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
