#include <windows.h>

#include <atomic>

#include "fileio/win32_text.h"
#include "ui/cli/console.h"

namespace velkrane::cli {
namespace {

// Ctrl+C reads as SIGINT would on POSIX, so the exit status is 130 on both.
constexpr int kInterruptSignal = 2;
// Windows ends a process this long after a close or shutdown request; the
// handler waits a little less for the file in progress.
constexpr DWORD kCloseWaitMs = 4500;

std::atomic<int> received_signal{0};
std::atomic<bool> run_finished{true};

HANDLE HandleOf(Stream stream) {
  return ::GetStdHandle(stream == Stream::kOut ? STD_OUTPUT_HANDLE
                                               : STD_ERROR_HANDLE);
}

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
         ::GetConsoleMode(handle, &mode) != 0;
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  received_signal = kInterruptSignal;
  // A closed window, log-off or shutdown ends the process when this returns:
  // give the file in progress the time the system allows.
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
    for (DWORD waited = 0; !run_finished && waited < kCloseWaitMs;
         waited += 50) {
      ::Sleep(50);
    }
  }
  return TRUE;
}

}  // namespace

bool IsTerminal(Stream stream) { return IsConsole(HandleOf(stream)); }

int TerminalColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!::GetConsoleScreenBufferInfo(HandleOf(Stream::kOut), &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

bool Write(Stream stream, const std::string& text) {
  const HANDLE handle = HandleOf(stream);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || text.empty())
    return true;
  if (IsConsole(handle)) {
    // The console shows any character it is given as UTF-16, whatever the
    // code page; bytes would be read in the code page.
    const std::wstring wide = Widen(text);
    DWORD written = 0;
    ::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()),
                    &written, nullptr);
    return true;
  }
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    DWORD put = 0;
    // As on POSIX, output that cannot be written does not stop the repairs.
    if (!::WriteFile(handle, data, static_cast<DWORD>(left), &put, nullptr)) {
      const DWORD error = ::GetLastError();
      return error != ERROR_NO_DATA && error != ERROR_BROKEN_PIPE;
    }
    if (put == 0) return true;
    data += put;
    left -= put;
  }
  return true;
}

InterruptWatch::InterruptWatch() {
  received_signal = 0;
  run_finished = false;
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

InterruptWatch::~InterruptWatch() {
  run_finished = true;
  ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
}

int InterruptWatch::Signal() const { return received_signal; }

}  // namespace velkrane::cli

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(velkrane::Narrow(argv[i]));
  return velkrane::cli::RunCommandLine(args);
}
