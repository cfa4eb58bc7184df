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

struct OwnedFd {
  explicit OwnedFd(int descriptor) : fd(descriptor) {}
  ~OwnedFd() { ::close(fd); }
  OwnedFd(const OwnedFd&) = delete;
  OwnedFd& operator=(const OwnedFd&) = delete;
  const int fd;
};

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

CliRun RunCli(const std::vector<std::string>& args) {
  const FilePointer out(std::tmpfile());
  const FilePointer err(std::tmpfile());
  if (!out || !err)
    throw std::runtime_error("no temporary file for the output");
  const int out_fd = ::fileno(out.get()), err_fd = ::fileno(err.get());
  CliRun run;
  run.status = WaitForExit(SpawnCli(args, out_fd, err_fd));
  for (const int fd : {out_fd, err_fd}) ::lseek(fd, 0, SEEK_SET);
  run.out = ReadUntilEnd(out_fd);
  run.err = ReadUntilEnd(err_fd);
  return run;
}

CliRun RunCliIntoClosedPipe(const std::vector<std::string>& args) {
  const FilePointer err(std::tmpfile());
  int ends[2];
  if (!err || ::pipe(ends) != 0)
    throw std::runtime_error("no pipe for the output");
  ::close(ends[0]);
  const OwnedFd out(ends[1]);
  const int err_fd = ::fileno(err.get());
  CliRun run;
  run.status = WaitForExit(SpawnCli(args, out.fd, err_fd));
  ::lseek(err_fd, 0, SEEK_SET);
  run.err = ReadUntilEnd(err_fd);
  return run;
}

}  // namespace velkrane::testing
