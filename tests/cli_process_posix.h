#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace velkrane::testing {

/// Starts velkrane-cli with `args`, its stdout and stderr on the given
/// descriptors, and returns its process id.
pid_t SpawnCli(const std::vector<std::string>& args, int out_fd, int err_fd);

/// Waits for `pid` and returns its exit status, or 128 + the signal that
/// ended it.
int WaitForExit(pid_t pid);

/// Everything `fd` gives until its end (or, for a terminal, its closing).
std::string ReadUntilEnd(int fd);

}  // namespace velkrane::testing
