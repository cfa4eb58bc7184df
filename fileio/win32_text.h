#pragma once

// UTF-8 <-> UTF-16 at the Win32 boundary. Windows builds only.

#include <windows.h>

#include <string>

namespace velkrane {

std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);

/// Widens a path for the file API; long absolute paths get the "\\?\" prefix
/// so that they are not cut at MAX_PATH.
std::wstring WidePath(const std::string& path);

/// The system's text for an error code, without the trailing line break.
std::string SystemMessage(DWORD error);

}  // namespace velkrane
