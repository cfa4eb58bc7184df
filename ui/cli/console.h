#pragma once

// What the command line needs from the console: console_posix.cpp and
// console_win32.cpp implement it, and each holds the program's entry point,
// which hands the arguments on as UTF-8.

#include <string>
#include <vector>

namespace velkrane::cli {

enum class Stream { kOut, kErr };

/// True when the stream is shown on a terminal or console window.
bool IsTerminal(Stream stream);

/// The terminal's width in columns, or 0 when it is not known.
int TerminalColumns();

/// Writes UTF-8 text: as characters on a console, as UTF-8 bytes elsewhere.
/// Text that cannot be written is dropped; returns false when that is
/// because the stream's reader has gone (a pipe closed at its other end).
bool Write(Stream stream, const std::string& text);

/// While it lives, Ctrl+C (and the requests to end that a console or system
/// sends) only set a flag, so that the file in progress can finish.
class InterruptWatch {
 public:
  InterruptWatch();
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

  /// 0, or the number of the signal that asked the program to stop
  /// (2 for Ctrl+C everywhere), for an exit status of 128 + that number.
  int Signal() const;
};

/// The whole program after the entry point: returns the exit status.
int RunCommandLine(const std::vector<std::string>& args);

}  // namespace velkrane::cli
