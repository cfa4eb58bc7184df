#pragma once

// Real loop devices, mounts and the failing FUSE file (tools/eio-fuse) for
// the tests, each undone at scope exit on every path. Linux only. Where the
// machine refuses one (no root, no /dev/fuse, no loop devices), its
// Make...() returns nothing and says why, for GTEST_SKIP.

#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

namespace velkrane::testing {

/// The tools folder of this source tree.
#ifndef VELKRANE_TOOLS
#error "VELKRANE_TOOLS names the tools folder"
#endif

inline std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

struct ToolRun {
  int status = -1;
  std::string out;  // stdout and stderr
};

/// Runs a shell command line and waits for it.
inline ToolRun RunTool(const std::string& command) {
  ToolRun run;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    run.out.append(buffer, got);
  }
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

/// Runs a command a test needs to succeed; throws with its output if not.
inline std::string MustRun(const std::string& command) {
  ToolRun run = RunTool(command);
  if (run.status != 0) {
    throw std::runtime_error(command + " failed (" +
                             std::to_string(run.status) + "): " + run.out);
  }
  return run.out;
}

/// A loop device over an image file, detached at scope exit.
class LoopDevice {
 public:
  /// Attaches `image` (its partitions as PATHp1... when `partitions`).
  static std::unique_ptr<LoopDevice> Make(const std::string& image,
                                          bool partitions, std::string& why) {
    const ToolRun run =
        RunTool(std::string("losetup --find --show ") +
                (partitions ? "--partscan " : "") + ShellQuoted(image));
    if (run.status != 0 || run.out.empty()) {
      why = "no loop device here (losetup: " + run.out + ")";
      return nullptr;
    }
    std::unique_ptr<LoopDevice> loop(
        new LoopDevice(run.out.substr(0, run.out.find('\n'))));
    // The kernel's own scan does not always make the partitions' nodes in a
    // container; partx adds those it missed.
    if (partitions && ::access((loop->path_ + "p1").c_str(), F_OK) != 0) {
      RunTool("partx --add " + ShellQuoted(loop->path_));
    }
    return loop;
  }
  ~LoopDevice() { RunTool("losetup --detach " + ShellQuoted(path_)); }
  LoopDevice(const LoopDevice&) = delete;
  LoopDevice& operator=(const LoopDevice&) = delete;

  const std::string& Path() const { return path_; }

 private:
  explicit LoopDevice(std::string path) : path_(std::move(path)) {}
  std::string path_;
};

/// A file system mounted on a folder by a command, unmounted at scope exit.
/// The folder must exist.
class Mounted {
 public:
  /// Runs `command` (which mounts something on `folder`).
  static std::unique_ptr<Mounted> Make(const std::string& command,
                                       const std::string& folder,
                                       std::string& why) {
    const ToolRun run = RunTool(command);
    if (run.status != 0) {
      why = "cannot mount here (" + command + ": " + run.out + ")";
      return nullptr;
    }
    return std::unique_ptr<Mounted>(new Mounted(folder));
  }
  /// exFAT through exfat-fuse from `device`.
  static std::unique_ptr<Mounted> ExFat(const std::string& device,
                                        const std::string& folder,
                                        std::string& why) {
    return Make(
        "mount.exfat-fuse " + ShellQuoted(device) + " " + ShellQuoted(folder),
        folder, why);
  }
  /// tools/eio-fuse: `bytes` served as FOLDER/<its name>, reads touching
  /// `bad_offsets` (blank-separated) failing with EIO.
  static std::unique_ptr<Mounted> FailingFile(const std::string& bytes,
                                              const std::string& folder,
                                              const std::string& bad_offsets,
                                              std::string& why) {
    return Make(std::string(VELKRANE_TOOLS) + "/eio-fuse " +
                    ShellQuoted(bytes) + " " + ShellQuoted(folder) + " " +
                    bad_offsets,
                folder, why);
  }
  ~Mounted() {
    // A FUSE server may still be closing the last file for a moment; lazily
    // in the end, so that a failed test never leaves a mount behind.
    for (int attempt = 0; attempt < 20; ++attempt) {
      if (RunTool("umount " + ShellQuoted(folder_)).status == 0) return;
      ::usleep(100 * 1000);
    }
    RunTool("umount --lazy " + ShellQuoted(folder_));
  }
  Mounted(const Mounted&) = delete;
  Mounted& operator=(const Mounted&) = delete;

 private:
  explicit Mounted(std::string folder) : folder_(std::move(folder)) {}
  std::string folder_;
};

}  // namespace velkrane::testing
