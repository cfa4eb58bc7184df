// Times PostProcessFile and RunBatch on real files, warm in the page cache,
// against references measured in the same run on the same files: (a) the
// straightforward in-memory repair and (b) the kernel's copy of the output
// length with no search, both writing their copies to the disk the way
// PostProcessFile does, and for the batch (c) the kernel copies left in the
// page cache, as Velkrane's copies were before they were flushed. Prints the
// ratios of the medians at the end.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "batch/batch_run.h"
#include "batch/repair_one.h"
#include "batch/run_texts.h"
#include "bench/bench_files.h"
#include "bench/peak_rss.h"
#include "bench/summary_reporter.h"
#include "x3f/cut_decision.h"
#include "x3f/end_search.h"

namespace velkrane::bench {
namespace {

namespace fs = std::filesystem;

// kPropLast and kLater are X3Fs that end at the case's length (see
// X3fSampleBytes); kHeaderOnly has the "FOVb" header and a "PROP" 8 bytes
// before the length but no directory; kPlain only the "PROP".
enum class Shape { kPropLast, kLater, kHeaderOnly, kPlain };

struct RepairCase {
  const char* name;
  std::int64_t size;
  std::int64_t
      length;  // of the repaired copy (the tail position + 8), or 0: no tail
  std::int64_t decoy;  // a "PROP" past the load limit, or 0 for none
  Shape shape = Shape::kPropLast;
};

constexpr std::int64_t kJunk = 300;
constexpr std::int64_t kMiB = 1024 * 1024;

// Each X3F source ends at `length`, its directory listing PROP last, so the
// rule and the directory cut at the same place; the rest of the file is the
// junk the repair drops. The plain source has only the signature at
// length - 8, so it measures the rule's search alone.
constexpr RepairCase kCases[] = {
    {"typical", 12000000, 12000000 - kJunk, 0},
    {"typical_plain", 12000000, 12000000 - kJunk, 0, Shape::kPlain},
    {"intact", 30000000, 30000000, 0},
    {"junk_1MiB", 30000000, 30000000 - kMiB, 0},
    {"far_tail", 30000000, 30000000 - 20000000, 0},
    // An X3F header and nothing else to find: the whole window is searched.
    {"no_tail", 30000000, 0, 0},
    // Only the first 30,000,000 bytes count; the decoy must be ignored.
    {"source_60MB", 60000000, kLoadLimit - kJunk, 45000000},
    // Later cameras' files, whose directory lies past the first kLoadLimit
    // bytes, with 300,000 bytes of junk and intact.
    {"later_45MB_junk", 45300000, 45000000, 0, Shape::kLater},
    {"later_45MB", 45000000, 45000000, 0, Shape::kLater},
    // No directory: the whole file is read for one, then the rule cuts.
    {"no_dir_45MB", 45000000, kLoadLimit - kJunk, 0, Shape::kHeaderOnly},
};

// The target for how much more a 30 MB repair may hold than a 1 MB one.
constexpr std::int64_t kMaxPeakGrowthKiB = 1024;

constexpr int kBatchFiles = 200;
constexpr std::int64_t kBatchFileSize = 12000000;
constexpr std::int64_t kBatchLength = kBatchFileSize - kJunk;

// Flags applied before the command line's own, which may override them. The
// machine is noisy: medians over interleaved repetitions.
const char* const kDefaultFlags[] = {
    "--benchmark_repetitions=15",
    "--benchmark_min_time=0.2",
    "--benchmark_report_aggregates_only=true",
    "--benchmark_enable_random_interleaving=true",
};

/// A fresh folder under TMPDIR (or /tmp), removed with its contents at exit.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern =
        (fs::temp_directory_path() / "velkrane-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("cannot create a folder in " +
                               fs::temp_directory_path().string());
    }
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string File(const std::string& name) const { return path_ + "/" + name; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

Bytes SampleFile(std::int64_t size, std::int64_t length, std::int64_t decoy,
                 std::uint64_t seed, Shape shape = Shape::kPropLast) {
  const auto n = static_cast<std::size_t>(size);
  const auto x3f_length =
      static_cast<std::size_t>(shape == Shape::kHeaderOnly ? 0 : length);
  Bytes bytes =
      shape == Shape::kPlain
          ? SampleBytes(n, seed)
          : X3fSampleBytes(n, x3f_length, seed,
                           shape == Shape::kLater ? SectionOrder::kLater
                                                  : SectionOrder::kPropLast);
  if (shape == Shape::kHeaderOnly || shape == Shape::kPlain) {
    PlantSignature(bytes, static_cast<std::size_t>(length - kTailLength));
  }
  if (decoy > 0) PlantSignature(bytes, static_cast<std::size_t>(decoy));
  return bytes;
}

// The straightforward way searches the window for the rule's tail only, which
// a later camera's file does not have there.
bool RuleCutsAlike(const RepairCase& c) { return c.shape != Shape::kLater; }

// What any search must read of the case: from the file's end (the window's,
// for a file without a header) down to the tail, or all of it without one.
std::pair<std::int64_t, std::int64_t> BytesToRead(const RepairCase& c) {
  const std::int64_t to =
      c.shape == Shape::kPlain ? std::min(c.size, kLoadLimit) : c.size;
  const bool no_end = c.length == 0 || c.shape == Shape::kHeaderOnly;
  return {no_end ? 0 : c.length - kTailLength, to};
}

// What PostProcessFile says when it did its work on the case.
std::string Expected(const RepairCase& c, const std::string& target_name) {
  return c.length == 0 ? kNoTailMessage : kTailFoundPrefix + target_name;
}

void RemoveIfThere(const std::string& path) { ::unlink(path.c_str()); }

void Require(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error(what);
}

/// Sources and targets of one case, written on first use so that a filter
/// that skips a case also skips writing it.
struct CaseFiles {
  std::string source;
  std::string ours;
  std::string naive;
  std::string kernel;
};

class Samples {
 public:
  const CaseFiles& For(const RepairCase& c) {
    auto& slot = cases_[c.name];
    if (!slot) slot = std::make_unique<CaseFiles>(Write(c));
    return *slot;
  }

  /// The batch sources, one entry each, and their "PostProcessed" folder.
  const std::vector<std::string>& Batch() {
    if (batch_.empty()) WriteBatch();
    return batch_;
  }
  std::string BatchTarget(int index) const {
    return folder_.Path() + "/batch/" + kOutputFolderName + "/" +
           BatchName(index);
  }

  const ScratchFolder& Folder() const { return folder_; }

 private:
  static std::string BatchName(int index) {
    return "IMG_" + std::to_string(1000 + index) + ".X3F";
  }

  CaseFiles Write(const RepairCase& c) {
    const std::string dir = folder_.File(c.name);
    fs::create_directory(dir);
    CaseFiles files{dir + "/source.X3F", dir + "/ours.X3F", dir + "/naive.X3F",
                    dir + "/kernel.X3F"};
    const Bytes bytes = SampleFile(c.size, c.length, c.decoy, seed_++, c.shape);
    WriteDurably(files.source, bytes);
    Verify(c, files, bytes);
    return files;
  }

  // All three ways must produce the same bytes, or the comparison is moot.
  static void Verify(const RepairCase& c, const CaseFiles& files,
                     const Bytes& source) {
    std::string message;
    PostProcessFile(files.source, files.ours, message);
    Require(message == Expected(c, "ours.X3F"),
            std::string(c.name) + ": PostProcessFile said " + message);
    if (c.length == 0) {
      Require(
          NaiveRepair(files.source, files.naive, Output::kDurable) == kNoTail,
          std::string(c.name) + ": the straightforward repair found a tail");
      return;
    }
    const Bytes want(source.begin(), source.begin() + c.length);
    Require(ReadWhole(files.ours) == want,
            std::string(c.name) + ": PostProcessFile wrote other bytes");
    Require(!RuleCutsAlike(c) || (NaiveRepair(files.source, files.naive,
                                              Output::kDurable) == c.length &&
                                  ReadWhole(files.naive) == want),
            std::string(c.name) + ": the straightforward repair differs");
    KernelCopy(files.source, files.kernel, c.length, Output::kDurable);
    Require(ReadWhole(files.kernel) == want,
            std::string(c.name) + ": the kernel copy differs");
  }

  void WriteBatch() {
    const std::string dir = folder_.File("batch");
    fs::create_directories(dir + "/" + kOutputFolderName);
    const Bytes bytes = SampleFile(kBatchFileSize, kBatchLength, 0, seed_++);
    for (int i = 0; i < kBatchFiles; ++i) {
      batch_.push_back(dir + "/" + BatchName(i));
      WriteDurably(batch_.back(), bytes);
    }
  }

  ScratchFolder folder_;
  std::uint64_t seed_ = 1;
  std::map<std::string, std::unique_ptr<CaseFiles>> cases_;
  std::vector<std::string> batch_;
};

Samples* samples = nullptr;

/// The window of a batch run that nobody watches.
class QuietWindow final : public BatchWindow {
 public:
  explicit QuietWindow(const std::vector<std::string>& entries)
      : entries_(entries) {}
  int EntryCount() const override { return static_cast<int>(entries_.size()); }
  std::string Entry(int index) const override {
    return entries_[static_cast<std::size_t>(index)];
  }
  void SetStatusText(const std::string&) override {}
  void ProcessMessages() override {}
  void ShowMessage(const std::string&) override {}

 private:
  const std::vector<std::string>& entries_;
};

// Every way writes a new file, as on a first run: the previous output is
// removed outside the timed part.
void RunCase(benchmark::State& state, const RepairCase& c,
             const std::string& way) {
  try {
    const CaseFiles& files = samples->For(c);
    std::string message;
    std::string target;
    std::function<void()> work;
    std::int64_t bytes = c.length;
    if (way == SummaryReporter::kOurs) {
      target = files.ours;
      work = [&] { PostProcessFile(files.source, files.ours, message); };
    } else if (way == SummaryReporter::kNaive) {
      target = files.naive;
      work = [&] { NaiveRepair(files.source, files.naive, Output::kDurable); };
    } else if (way == SummaryReporter::kKernel) {
      target = files.kernel;
      work = [&] {
        KernelCopy(files.source, files.kernel, c.length, Output::kDurable);
      };
    } else {
      const auto [from, to] = BytesToRead(c);
      const bool and_copy = way == SummaryReporter::kReadAndKernel;
      if (and_copy) target = files.kernel;
      bytes = to - from;
      work = [&, from = from, to = to, and_copy] {
        ReadBackward(files.source, from, to, kSearchBlockSize);
        if (and_copy) {
          KernelCopy(files.source, files.kernel, c.length, Output::kDurable);
        }
      };
    }
    for (auto _ : state) {
      state.PauseTiming();
      if (!target.empty()) RemoveIfThere(target);
      state.ResumeTiming();
      work();
    }
    Require(way != SummaryReporter::kOurs || message == Expected(c, "ours.X3F"),
            "PostProcessFile said " + message);
    state.SetBytesProcessed(state.iterations() * bytes);
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
  }
}

void RemoveBatchOutputs() {
  for (int i = 0; i < kBatchFiles; ++i) RemoveIfThere(samples->BatchTarget(i));
}

void RunBatchCase(benchmark::State& state, const std::string& way) {
  try {
    const std::vector<std::string>& entries = samples->Batch();
    QuietWindow window(entries);
    for (auto _ : state) {
      state.PauseTiming();
      RemoveBatchOutputs();
      // 2.4 GB written by the last run may still be going to disk; let it
      // settle so that every run starts alike.
      ::sync();
      state.ResumeTiming();
      if (way == SummaryReporter::kOurs) {
        RunBatch(window);
      } else {
        const Output output =
            way == SummaryReporter::kKernel ? Output::kDurable : Output::kPlain;
        for (int i = 0; i < kBatchFiles; ++i) {
          KernelCopy(entries[static_cast<std::size_t>(i)],
                     samples->BatchTarget(i), kBatchLength, output);
        }
      }
    }
    // The window shows nothing, so the outputs are the proof of the work.
    for (int i = 0; i < kBatchFiles; ++i) {
      Require(fs::file_size(samples->BatchTarget(i)) ==
                  static_cast<std::uintmax_t>(kBatchLength),
              "wrong size: " + samples->BatchTarget(i));
    }
    RemoveBatchOutputs();
    state.SetBytesProcessed(state.iterations() * kBatchFiles * kBatchLength);
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
  }
}

void RegisterAll() {
  const std::string ways[] = {SummaryReporter::kOurs, SummaryReporter::kNaive,
                              SummaryReporter::kKernel};
  const auto add = [](const RepairCase& c, const std::string& way) {
    benchmark::RegisterBenchmark(
        (std::string(c.name) + "/" + way).c_str(),
        [&c, way](benchmark::State& state) { RunCase(state, c, way); })
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
  };
  for (const RepairCase& c : kCases) {
    for (const std::string& way : ways) {
      // With no tail there is nothing to copy.
      if (way == SummaryReporter::kKernel && c.length == 0) continue;
      if (way == SummaryReporter::kNaive && !RuleCutsAlike(c)) continue;
      add(c, way);
    }
  }
  // Where the tail is far from the end, or missing, reading what lies behind
  // it is a floor under any search; it shows how close to that the search
  // gets. Without a directory, reading the whole file and then the rule's
  // copy is the floor.
  for (const RepairCase& c : kCases) {
    if (std::string(c.name) == "far_tail" || c.length == 0 ||
        c.shape == Shape::kHeaderOnly) {
      add(c, SummaryReporter::kReadOnly);
    }
    if (c.shape == Shape::kHeaderOnly) add(c, SummaryReporter::kReadAndKernel);
  }
  for (const std::string way :
       {SummaryReporter::kOurs, SummaryReporter::kKernel,
        SummaryReporter::kKernelPlain}) {
    benchmark::RegisterBenchmark(
        (std::string(SummaryReporter::kBatchCase) + "/" + way).c_str(),
        [way](benchmark::State& state) { RunBatchCase(state, way); })
        ->UseRealTime()
        // The copies are made and flushed on threads of their own.
        ->MeasureProcessCPUTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
  }
}

/// Peak memory of a child repairing a 30,000,000-byte file against one
/// repairing a 1,000,000-byte file; the straightforward repair alongside
/// shows that the measurement sees a buffer that grows with the file.
std::string MeasurePeakMemory(const ScratchFolder& folder) {
  constexpr std::int64_t kSmall = 1000000;
  const std::string small = folder.File("rss_1MB.X3F");
  const std::string large = folder.File("rss_30MB.X3F");
  const std::string target = folder.File("rss_out.X3F");
  WriteDurably(small, SampleFile(kSmall, kSmall - kJunk, 0, 101));
  WriteDurably(large, SampleFile(kLoadLimit, kLoadLimit - kJunk, 0, 102));

  const auto ours = [&](const std::string& source) {
    return PeakRssOfChildKiB([&] {
      std::string message;
      PostProcessFile(source, target, message);
      Require(message.rfind(kTailFoundPrefix, 0) == 0, message);
    });
  };
  const auto naive = [&](const std::string& source) {
    return PeakRssOfChildKiB([&] {
      Require(NaiveRepair(source, target, Output::kPlain) != kNoTail,
              "no tail");
    });
  };
  const std::int64_t ours_small = ours(small), ours_large = ours(large);
  const std::int64_t naive_small = naive(small), naive_large = naive(large);
  RemoveIfThere(target);

  const std::int64_t difference = ours_large - ours_small;
  benchmark::AddCustomContext("peak_rss_kib_ours_1MB",
                              std::to_string(ours_small));
  benchmark::AddCustomContext("peak_rss_kib_ours_30MB",
                              std::to_string(ours_large));
  benchmark::AddCustomContext("peak_rss_kib_naive_1MB",
                              std::to_string(naive_small));
  benchmark::AddCustomContext("peak_rss_kib_naive_30MB",
                              std::to_string(naive_large));
  char text[400];
  std::snprintf(
      text, sizeof text,
      "Peak RSS of a child process (KiB): PostProcessFile 1 MB %lld, "
      "30 MB %lld, difference %lld (target <= %lld: %s); "
      "(a) 1 MB %lld, 30 MB %lld, difference %lld",
      static_cast<long long>(ours_small), static_cast<long long>(ours_large),
      static_cast<long long>(difference),
      static_cast<long long>(kMaxPeakGrowthKiB),
      difference <= kMaxPeakGrowthKiB ? "met" : "MISSED",
      static_cast<long long>(naive_small), static_cast<long long>(naive_large),
      static_cast<long long>(naive_large - naive_small));
  return text;
}

}  // namespace
}  // namespace velkrane::bench

int main(int argc, char** argv) {
  using namespace velkrane::bench;
  std::vector<char*> args{argv[0]};
  for (const char* flag : kDefaultFlags)
    args.push_back(const_cast<char*>(flag));
  args.insert(args.end(), argv + 1, argv + argc);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;

  try {
    Samples files;
    samples = &files;
    std::fprintf(stderr, "Sample files in %s\n", files.Folder().Path().c_str());
    SummaryReporter reporter;
    reporter.AddNote(MeasurePeakMemory(files.Folder()));
    RegisterAll();
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    samples = nullptr;
    if (reporter.HadErrors()) return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "velkrane_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
