#include "cli_process_posix.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "cli_process.h"

extern char** environ;

namespace velkrane::testing {
namespace {

struct CloseFile {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePointer = std::unique_ptr<std::FILE, CloseFile>;

std::string ReadAll(std::FILE* file) {
  std::rewind(file);
  std::string text;
  char chunk[4096];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
    text.append(chunk, got);
  }
  return text;
}

}  // namespace

pid_t SpawnCli(const std::vector<std::string>& args, int out_fd, int err_fd) {
  std::vector<std::string> all = {VELKRANE_CLI};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : all) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out_fd, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err_fd, STDERR_FILENO);
  pid_t pid = 0;
  const int error = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) throw std::runtime_error("cannot start " + all[0]);
  return pid;
}

int WaitForExit(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

CliRun RunCli(const std::vector<std::string>& args) {
  const FilePointer out(std::tmpfile());
  const FilePointer err(std::tmpfile());
  if (!out || !err) throw std::runtime_error("no temporary file for the output");
  CliRun run;
  run.status = WaitForExit(SpawnCli(args, ::fileno(out.get()), ::fileno(err.get())));
  run.out = ReadAll(out.get());
  run.err = ReadAll(err.get());
  return run;
}

}  // namespace velkrane::testing
