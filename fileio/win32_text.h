#pragma once

// UTF-8 <-> UTF-16 at the Win32 boundary. Windows builds only. Inside, text
// is WTF-8: UTF-8 that may also hold the unpaired surrogates an NTFS name can
// have, so that every name the system gives comes back to it unchanged.

#include <windows.h>

#include <string>

namespace velkrane {

/// The start of the error for a path that no Windows name narrows to (bytes
/// that are not WTF-8): it cannot name the file it was meant to.
inline constexpr char kUnreadableName[] = "Cannot read the name ";

/// A byte that is not WTF-8 widens to U+FFFD.
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);

/// Widens a path for the file API. A path whose full form is long gets the
/// "\\?\" prefix so that it is not cut at MAX_PATH; a path that is not WTF-8
/// throws "Cannot read the name PATH" rather than naming another file.
std::wstring WidePath(const std::string& path);

/// The system's text for an error code, without the trailing line break.
std::string SystemMessage(DWORD error);

}  // namespace velkrane
