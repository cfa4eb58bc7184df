#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace velkrane::bench {

/// The console table, then the ratios computed from the medians of the same
/// run. Benchmarks are named "<case>/<way>", way being kOurs, kNaive or
/// kKernel.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  static const char kOurs[];
  static const char kNaive[];
  static const char kKernel[];

  /// Printed under the ratios (the peak memory check).
  void AddNote(const std::string& note) { notes_.push_back(note); }

  void ReportRuns(const std::vector<Run>& runs) override;
  void Finalize() override;

 private:
  struct Times {
    double median = -1;  // from the "median" aggregate, when reported
    std::vector<double> samples;
    double Median() const;
  };

  void PrintRatios(std::ostream& out) const;
  double MedianOf(const std::string& name, const std::string& way) const;

  std::vector<std::string> cases_;  // in the order first reported
  std::map<std::string, Times> times_;
  std::vector<std::string> notes_;
};

}  // namespace velkrane::bench
