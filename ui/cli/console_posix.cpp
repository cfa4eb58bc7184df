#include <errno.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>

#include "ui/cli/console.h"

namespace velkrane::cli {
namespace {

int Fd(Stream stream) {
  return stream == Stream::kOut ? STDOUT_FILENO : STDERR_FILENO;
}

volatile std::sig_atomic_t received_signal = 0;

void Remember(int signal_number) { received_signal = signal_number; }

constexpr int kWatchedSignals[] = {SIGINT, SIGTERM, SIGHUP};

}  // namespace

bool IsTerminal(Stream stream) { return ::isatty(Fd(stream)) == 1; }

int TerminalColumns() {
  winsize size{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

bool Write(Stream stream, const std::string& text) {
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t put = ::write(Fd(stream), data, left);
    if (put < 0 && errno == EINTR) continue;
    // Output that cannot be written (a full disk, a closed pipe) must not
    // stop the repairs; the exit status still tells how they went.
    if (put <= 0) return !(put < 0 && errno == EPIPE);
    data += put;
    left -= static_cast<std::size_t>(put);
  }
  return true;
}

InterruptWatch::InterruptWatch() {
  received_signal = 0;
  struct sigaction action {};
  action.sa_handler = Remember;
  sigemptyset(&action.sa_mask);
  // Restarted calls: an interrupted read or copy carries on, and the run
  // stops between files.
  action.sa_flags = SA_RESTART;
  for (const int signal_number : kWatchedSignals) {
    ::sigaction(signal_number, &action, nullptr);
  }
}

InterruptWatch::~InterruptWatch() {
  for (const int signal_number : kWatchedSignals) {
    ::signal(signal_number, SIG_DFL);
  }
}

int InterruptWatch::Signal() const { return received_signal; }

}  // namespace velkrane::cli

int main(int argc, char** argv) {
  // A reader that went away (`| head`, a pager quit early) would otherwise
  // end the program mid-run; the failed write is dropped instead.
  ::signal(SIGPIPE, SIG_IGN);
  return velkrane::cli::RunCommandLine(
      std::vector<std::string>(argv, argv + argc));
}
