// Times velkrane-cli as a whole process over a tree of 200 files of 12 MB
// against the kernel's copy of the same output lengths in one process, the
// floor for any program that writes those copies. With VELKRANE_BENCH_FLUSH=1
// in the environment, a second pair runs in which the floor also flushes each
// copy and its folder to disk, as a program that does so before saying
// "saved" must. The benchmark's CPU clock sees only this process; the
// program's own CPU time is the child_cpu_ms counter.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "bench/bench_files.h"
#include "bench/summary_reporter.h"

extern char** environ;

namespace velkrane::bench {
namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 200;
constexpr int kFilesPerFolder = 100;
constexpr std::int64_t kFileSize = 12000000;
constexpr std::int64_t kJunk = 300;
constexpr std::int64_t kLength = kFileSize - kJunk;
constexpr char kCase[] = "cli_200x12MB";
constexpr char kFlushedCase[] = "cli_200x12MB_flushed";
constexpr char kFlushVariable[] = "VELKRANE_BENCH_FLUSH";

void PutUint32(Bytes& bytes, std::int64_t pos, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    bytes[static_cast<std::size_t>(pos + i)] = static_cast<unsigned char>(value >> (8 * i));
  }
}

void PutText(Bytes& bytes, std::int64_t pos, const char* text) {
  std::memcpy(bytes.data() + pos, text, std::strlen(text));
}

/// A 12 MB X3F as a camera writes it (an image section, then PROP, then the
/// directory and its offset), with junk after its end.
Bytes X3fSample() {
  Bytes bytes = SampleBytes(static_cast<std::size_t>(kFileSize), 7);
  const std::int64_t directory = kLength - 40;
  const std::int64_t prop = directory - 40;
  PutText(bytes, 0, "FOVb");
  PutText(bytes, 16, "SECi");
  PutText(bytes, prop, "SECp");
  PutText(bytes, directory, "SECd");
  PutUint32(bytes, directory + 4, 0x00020000);
  PutUint32(bytes, directory + 8, 2);
  PutUint32(bytes, directory + 12, 16);
  PutUint32(bytes, directory + 16, static_cast<std::uint32_t>(prop - 16));
  PutText(bytes, directory + 20, "IMAG");
  PutUint32(bytes, directory + 24, static_cast<std::uint32_t>(prop));
  PutUint32(bytes, directory + 28, 40);
  PutText(bytes, directory + 32, "PROP");
  PutUint32(bytes, directory + 36, static_cast<std::uint32_t>(directory));
  return bytes;
}

/// The sample tree: two camera folders, written on first use, removed at exit.
class SampleTree {
 public:
  static const SampleTree& Get() {
    static const SampleTree tree;
    return tree;
  }
  ~SampleTree() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  SampleTree(const SampleTree&) = delete;
  SampleTree& operator=(const SampleTree&) = delete;

  const std::string& Root() const { return root_; }
  const std::vector<std::string>& Sources() const { return sources_; }
  const std::vector<std::string>& Targets() const { return targets_; }

 private:
  SampleTree() {
    std::string pattern = (fs::temp_directory_path() / "velkrane-cli-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no scratch folder");
    root_ = pattern;
    const Bytes bytes = X3fSample();
    for (int i = 0; i < kFiles; ++i) {
      const std::string folder =
          root_ + "/" + std::to_string(100 + i / kFilesPerFolder) + "SIGMA/";
      const std::string name = "SDIM" + std::to_string(1000 + i) + ".X3F";
      fs::create_directories(folder + kOutputFolderName);
      sources_.push_back(folder + name);
      targets_.push_back(folder + kOutputFolderName + "/" + name);
      WriteDurably(sources_.back(), bytes);
    }
  }

  std::string root_;
  std::vector<std::string> sources_;
  std::vector<std::string> targets_;
};

void Require(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error(what);
}

void Sync(const std::string& path, int flags) {
  FileDescriptor fd(::open(path.c_str(), flags | O_CLOEXEC));
  Require(fd.Get() >= 0 && ::fsync(fd.Get()) == 0, "cannot flush " + path);
  fd.Close();
}

/// Runs the program over `root` and returns the CPU time it used in ms
/// (user + system), which the benchmark's own CPU clock does not see.
double RunProgram(const std::string& root) {
  std::vector<std::string> args = {VELKRANE_CLI, root};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // Not a terminal, so one line per file, as when a script runs it.
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int error = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  Require(error == 0, "cannot start " + args[0]);
  int status = 0;
  struct rusage usage {};
  Require(::wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status) &&
              WEXITSTATUS(status) == 0,
          "velkrane-cli failed");
  const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

void RunTreeCase(benchmark::State& state, const std::string& way, bool flush) {
  try {
    const SampleTree& tree = SampleTree::Get();
    const auto& targets = tree.Targets();
    double child_cpu_ms = 0;
    for (auto _ : state) {
      state.PauseTiming();
      for (const std::string& target : targets) ::unlink(target.c_str());
      // The last run's 2.4 GB may still be going to disk; every run starts
      // alike.
      ::sync();
      state.ResumeTiming();
      if (way == SummaryReporter::kOurs) {
        child_cpu_ms += RunProgram(tree.Root());
        continue;
      }
      for (std::size_t i = 0; i < targets.size(); ++i) {
        KernelCopy(tree.Sources()[i], targets[i], kLength);
        if (flush) {
          Sync(targets[i], O_RDONLY);
          Sync(targets[i].substr(0, targets[i].rfind('/')), O_RDONLY | O_DIRECTORY);
        }
      }
    }
    for (const std::string& target : targets) {
      Require(fs::file_size(target) == static_cast<std::uintmax_t>(kLength),
              "wrong size: " + target);
      ::unlink(target.c_str());
    }
    state.SetBytesProcessed(state.iterations() * kFiles * kLength);
    if (way == SummaryReporter::kOurs) {
      state.counters["child_cpu_ms"] =
          benchmark::Counter(child_cpu_ms, benchmark::Counter::kAvgIterations);
    }
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
  }
}

void Register(const std::string& name, const std::string& way, bool flush) {
  benchmark::RegisterBenchmark(
      (name + "/" + way).c_str(),
      [way, flush](benchmark::State& state) { RunTreeCase(state, way, flush); })
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1);
}

[[maybe_unused]] const bool kRegistered = [] {
  Register(kCase, SummaryReporter::kOurs, false);
  Register(kCase, SummaryReporter::kKernel, false);
  const char* flush = std::getenv(kFlushVariable);
  if (flush != nullptr && std::strcmp(flush, "1") == 0) {
    Register(kFlushedCase, SummaryReporter::kOurs, false);
    Register(kFlushedCase, SummaryReporter::kKernel, true);
  }
  return true;
}();

}  // namespace
}  // namespace velkrane::bench
