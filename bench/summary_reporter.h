#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace velkrane::bench {

/// The console table, then the ratios computed from the medians of the same
/// run. Benchmarks are named "<case>/<way>", way being kOurs, kNaive, kKernel,
/// kKernelPlain (the kernel copy left in the page cache), kReadOnly (only
/// reading the bytes the search has to look at) or kReadAndKernel (that read,
/// then kKernel).
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  static const char kOurs[];
  static const char kNaive[];
  static const char kKernel[];
  static const char kKernelPlain[];
  /// The case of a whole batch run, which has a target of its own.
  static const char kBatchCase[];
  static const char kReadOnly[];
  static const char kReadAndKernel[];

  /// Printed under the ratios (the peak memory check).
  void AddNote(const std::string& note) { notes_.push_back(note); }

  /// True when a benchmark stopped with an error (its output was wrong).
  bool HadErrors() const { return had_errors_; }

  void ReportRuns(const std::vector<Run>& runs) override;
  void Finalize() override;

 private:
  enum Clock { kReal, kCpu };

  struct Times {
    // From the "median" aggregate when reported, else from the repetitions.
    double median[2] = {-1, -1};
    std::vector<double> samples[2];
    double Median(Clock clock) const;
  };

  void PrintRatios(std::ostream& out, Clock clock) const;
  double MedianOf(const std::string& name, const std::string& way,
                  Clock clock) const;

  // Cases in the order they were registered, whatever order they ran in.
  std::vector<std::pair<std::int64_t, std::string>> cases_;
  std::map<std::string, Times> times_;
  std::vector<std::string> notes_;
  bool had_errors_ = false;
};

}  // namespace velkrane::bench
