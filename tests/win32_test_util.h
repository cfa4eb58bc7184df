#pragma once

// Helpers for driving the real Win32 window: a thread timer that answers the
// modal boxes and dialogs this thread opens, and readers for control state.

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "fileio/win32_text.h"
#include "tests/mark_pixels.h"

namespace velkrane::testing {

// One argument as the C runtime's parser reads it back: in quotes, with the
// backslashes before a quote doubled.
inline std::wstring QuotedArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos)
    return arg;
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  return quoted.append(backslashes * 2, L'\\') + L"\"";
}

struct CloseHandleDeleter {
  void operator()(HANDLE h) const { ::CloseHandle(h); }
};
/// A process, thread or file handle, closed at scope exit.
using OwnedHandle = std::unique_ptr<void, CloseHandleDeleter>;

/// Velkrane.exe, which is built into the folder of the window tests.
inline std::wstring ProgramPath() {
  std::wstring path(MAX_PATH * 4, L'\0');
  path.resize(
      ::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size())));
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"Velkrane.exe";
}

/// A message box as the user saw it.
struct SeenBox {
  std::string caption;
  std::string text;
  bool stop_icon = false;
  bool any_icon = false;
  RECT rect = {};
};

inline std::string WindowText(HWND hwnd) {
  const int length = ::GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(::GetWindowTextW(hwnd, &text[0], length + 1)));
  return Narrow(text);
}

inline std::string ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  ::GetClassNameW(hwnd, name, 64);
  return Narrow(name);
}

/// While it lives, a timer on this thread looks for dialogs of this thread
/// every few milliseconds. A message box is recorded and its OK button
/// pressed; any other dialog (the open-file dialog) goes to `on_dialog`,
/// which returns true once it has dealt with it. Modal loops dispatch thread
/// timers, so this runs inside MessageBoxW and GetOpenFileNameW.
class BoxWatcher {
 public:
  BoxWatcher() {
    current_ = this;
    timer_ = ::SetTimer(nullptr, 0, 20, &BoxWatcher::Tick);
  }
  ~BoxWatcher() {
    ::KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  BoxWatcher(const BoxWatcher&) = delete;
  BoxWatcher& operator=(const BoxWatcher&) = delete;

  std::vector<SeenBox> boxes;
  std::function<bool(HWND dialog)> on_dialog;

 private:
  static bool IsMessageBox(HWND dialog) {
    // The open-file dialog has a file-type box; a message box has none.
    return ::GetDlgItem(dialog, 0xFFFF) != nullptr &&
           ::GetDlgItem(dialog, 0x470) == nullptr;
  }

  static BOOL CALLBACK FindIcon(HWND child, LPARAM lparam) {
    auto* box = reinterpret_cast<SeenBox*>(lparam);
    const LONG style = ::GetWindowLongW(child, GWL_STYLE);
    if (ClassOf(child) == "Static" && (style & SS_TYPEMASK) == SS_ICON &&
        ::IsWindowVisible(child)) {
      const auto icon =
          reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
      if (icon) box->any_icon = true;
      if (icon && icon == ::LoadIconW(nullptr, IDI_HAND)) box->stop_icon = true;
    }
    return TRUE;
  }

  static BOOL CALLBACK Visit(HWND hwnd, LPARAM) {
    BoxWatcher* self = current_;
    if (!self || ClassOf(hwnd) != "#32770" || !::IsWindowVisible(hwnd) ||
        self->handled_.count(hwnd)) {
      return TRUE;
    }
    if (IsMessageBox(hwnd)) {
      SeenBox box;
      box.caption = WindowText(hwnd);
      box.text = WindowText(::GetDlgItem(hwnd, 0xFFFF));
      ::GetWindowRect(hwnd, &box.rect);
      ::EnumChildWindows(hwnd, &BoxWatcher::FindIcon,
                         reinterpret_cast<LPARAM>(&box));
      self->boxes.push_back(box);
      self->handled_.insert(hwnd);
      ::PostMessageW(::GetDlgItem(hwnd, IDOK), BM_CLICK, 0, 0);
    } else if (self->on_dialog && self->on_dialog(hwnd)) {
      self->handled_.insert(hwnd);
    }
    return TRUE;
  }

  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    // A closed box's handle may come back for the next one.
    if (current_) {
      for (auto it = current_->handled_.begin();
           it != current_->handled_.end();) {
        it = ::IsWindow(*it) ? std::next(it) : current_->handled_.erase(it);
      }
    }
    ::EnumThreadWindows(::GetCurrentThreadId(), &BoxWatcher::Visit, 0);
  }

  static inline BoxWatcher* current_ = nullptr;
  UINT_PTR timer_ = 0;
  std::set<HWND> handled_;
};

/// Records every text written to one status-bar panel, in order.
class StatusRecorder {
 public:
  StatusRecorder(HWND status_bar, int panel) : bar_(status_bar), panel_(panel) {
    ::SetWindowSubclass(bar_, &StatusRecorder::Proc, 1,
                        reinterpret_cast<DWORD_PTR>(this));
  }
  ~StatusRecorder() { ::RemoveWindowSubclass(bar_, &StatusRecorder::Proc, 1); }
  StatusRecorder(const StatusRecorder&) = delete;
  StatusRecorder& operator=(const StatusRecorder&) = delete;

  std::vector<std::string> texts;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam,
                               LPARAM lparam, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<StatusRecorder*>(data);
    if (message == SB_SETTEXTW &&
        static_cast<int>(LOBYTE(LOWORD(wparam))) == self->panel_) {
      self->texts.push_back(Narrow(reinterpret_cast<const wchar_t*>(lparam)));
    }
    return ::DefSubclassProc(hwnd, message, wparam, lparam);
  }

  HWND bar_;
  int panel_;
};

inline std::string StatusText(HWND status_bar, int panel) {
  const LRESULT length =
      LOWORD(::SendMessageW(status_bar, SB_GETTEXTLENGTHW, panel, 0));
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  ::SendMessageW(status_bar, SB_GETTEXTW, panel,
                 reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<std::size_t>(length));
  return Narrow(text);
}

inline std::vector<std::string> ListEntries(HWND list) {
  std::vector<std::string> entries;
  const auto count = static_cast<int>(::SendMessageW(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    const auto length = ::SendMessageW(list, LB_GETTEXTLEN, i, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<std::size_t>(length));
    entries.push_back(Narrow(text));
  }
  return entries;
}

/// What the screen shows of `area` in `window`'s client pixels, RGB by
/// rows.
inline Pixels ReadPixels(HWND window, const RECT& area) {
  Pixels pixels;
  pixels.width = area.right - area.left;
  pixels.height = area.bottom - area.top;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = pixels.width;
  info.bmiHeader.biHeight = -pixels.height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HDC screen = ::GetDC(window);
  const HDC memory = ::CreateCompatibleDC(screen);
  const HBITMAP bitmap =
      ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, pixels.width, pixels.height, screen, area.left,
           area.top, SRCCOPY);
  ::GdiFlush();
  const auto* bgrx = static_cast<const unsigned char*>(bits);
  for (int i = 0; i < pixels.width * pixels.height; ++i) {
    pixels.rgb.insert(pixels.rgb.end(),
                      {bgrx[4 * i + 2], bgrx[4 * i + 1], bgrx[4 * i]});
  }
  ::SelectObject(memory, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(window, screen);
  return pixels;
}

/// Removes whatever is queued for this thread, WM_QUIT included, and says
/// whether a WM_QUIT was among it (with its exit code in `exit_code`).
inline bool DrainQueue(int* exit_code = nullptr) {
  bool quit = false;
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quit = true;
      if (exit_code) *exit_code = static_cast<int>(message.wParam);
      continue;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return quit;
}

}  // namespace velkrane::testing
