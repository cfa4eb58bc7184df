#pragma once

// Runs the real velkrane-cli as a child process, as a user's shell would.

#include <string>
#include <vector>

namespace velkrane::testing {

struct CliRun {
  int status = -1;  // the exit status
  std::string out;  // what it wrote to stdout and stderr, as bytes
  std::string err;
};

/// Starts the program with `args` (UTF-8) and waits for it to end.
CliRun RunCli(const std::vector<std::string>& args);

/// As RunCli, but stdout is a pipe whose reader is gone, as after
/// `| head -1` has ended; `out` stays empty.
CliRun RunCliIntoClosedPipe(const std::vector<std::string>& args);

}  // namespace velkrane::testing
