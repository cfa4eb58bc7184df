#include "cli_process_posix.h"

#include <signal.h>
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

}  // namespace

std::string ReadUntilEnd(int fd) {
  std::string text;
  char chunk[4096];
  for (ssize_t got; (got = ::read(fd, chunk, sizeof chunk)) > 0;) {
    text.append(chunk, static_cast<std::size_t>(got));
  }
  return text;
}

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
  // A shell starts programs with SIGPIPE at its default, whatever this
  // process inherited.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int error =
      ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
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

namespace {

/// Runs the program with its stdout on `out` and its stderr read back.
CliRun RunInto(const std::vector<std::string>& args, std::FILE* out) {
  const FilePointer err(std::tmpfile());
  if (!out || !err) throw std::runtime_error("no file for the output");
  CliRun run;
  run.status = WaitForExit(SpawnCli(args, ::fileno(out), ::fileno(err.get())));
  ::lseek(::fileno(err.get()), 0, SEEK_SET);
  run.err = ReadUntilEnd(::fileno(err.get()));
  return run;
}

}  // namespace

CliRun RunCli(const std::vector<std::string>& args) {
  const FilePointer out(std::tmpfile());
  CliRun run = RunInto(args, out.get());
  ::lseek(::fileno(out.get()), 0, SEEK_SET);
  run.out = ReadUntilEnd(::fileno(out.get()));
  return run;
}

CliRun RunCliIntoClosedPipe(const std::vector<std::string>& args) {
  int ends[2];
  if (::pipe(ends) != 0) throw std::runtime_error("no pipe for the output");
  ::close(ends[0]);
  const FilePointer out(::fdopen(ends[1], "w"));
  return RunInto(args, out.get());
}

}  // namespace velkrane::testing
