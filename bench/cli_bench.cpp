// Times velkrane-cli as a whole process over a tree of 200 files of 12 MB
// against the kernel's copy of the same output lengths in one process: (b)
// put on the disk as the program puts its copies (temporary, flush, rename,
// folder flush), the floor for any program that keeps that promise, and (c)
// left in the page cache. The benchmark's CPU clock sees only this process;
// the program's own CPU time is the child_cpu_ms counter.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "batch/repair_one.h"
#include "batch/run_texts.h"
#include "bench/bench_files.h"
#include "bench/summary_reporter.h"

namespace velkrane::bench {
namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 200;
constexpr int kFilesPerFolder = 100;
constexpr std::int64_t kFileSize = 12000000;
constexpr std::int64_t kJunk = 300;
constexpr std::int64_t kLength = kFileSize - kJunk;
constexpr char kCase[] = "cli_200x12MB";

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
    std::string pattern =
        (fs::temp_directory_path() / "velkrane-cli-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
      throw std::runtime_error("no scratch folder");
    root_ = pattern;
    const Bytes bytes = X3fSampleBytes(static_cast<std::size_t>(kFileSize),
                                       static_cast<std::size_t>(kLength), 7);
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

/// Runs the program over `root` and returns the CPU time it used in ms.
double RunProgram(const std::string& root) {
  // Not a terminal, so one line per file, as when a script runs it.
  return RunToDevNull({VELKRANE_CLI, root});
}

void RunTreeCase(benchmark::State& state, const std::string& way) {
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
      const Output output =
          way == SummaryReporter::kKernel ? Output::kDurable : Output::kPlain;
      for (std::size_t i = 0; i < targets.size(); ++i) {
        KernelCopy(tree.Sources()[i], targets[i], kLength, output);
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

[[maybe_unused]] const bool kRegistered = [] {
  for (const char* way : {SummaryReporter::kOurs, SummaryReporter::kKernel,
                          SummaryReporter::kKernelPlain}) {
    const std::string name = std::string(kCase) + "/" + way;
    benchmark::RegisterBenchmark(
        name.c_str(),
        [way](benchmark::State& state) { RunTreeCase(state, way); })
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
  }
  return true;
}();

}  // namespace
}  // namespace velkrane::bench
