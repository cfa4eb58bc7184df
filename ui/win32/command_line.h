#pragma once

// The files the program was started with: the shell passes them on the
// command line when files are dropped on Velkrane.exe or opened with it.

#include <string>
#include <vector>

namespace velkrane {

/// This process's arguments after the program's own name, read as UTF-16
/// and given as UTF-8.
std::vector<std::string> CommandLinePaths();

}  // namespace velkrane
