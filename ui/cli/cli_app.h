#pragma once

// What every velkrane-cli command shares: the repair that runs by default,
// and each subcommand, whose code lives in a file of its own and is listed
// once in kSubcommands (cli_app.cpp). Each reads its arguments with CLI11
// and answers --help, --version and a wrong command the same way.

#include <CLI/CLI.hpp>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velkrane::cli {

extern const char kProgramName[];

constexpr int kExitDone = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitSignalBase = 128;

/// `velkrane-cli NAME ARGS...`. A PATH that happens to be spelt like NAME is
/// still a path when written "./NAME".
struct Subcommand {
  const char* name;
  const char* summary;  // one line, listed in the repair's --help
  /// `args` is NAME and what follows it, as argv (NAME in argv[0]'s place);
  /// returns the exit status.
  int (*run)(const std::vector<std::string>& args);
};

/// The settings every command's parser has: paths are never read as
/// Windows-style options, and --version, listed after the command's own
/// options when called after they are added.
void SetUpApp(CLI::App& app);

/// Parses `args` (argv, program name first) into `app`, then runs `check`,
/// which may throw a CLI::ParseError of its own. Returns the exit status when
/// the command is already answered (--help, --version, or a wrong command,
/// told on stderr), or nothing when it is for the caller to run.
std::optional<int> ParseArguments(CLI::App& app,
                                  const std::vector<std::string>& args,
                                  const std::function<void()>& check = {});

/// "velkrane-cli: " + what `error` says, on stderr; returns kExitSomeFailed.
int ReportFailure(const std::exception& error);

}  // namespace velkrane::cli
