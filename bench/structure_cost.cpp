// What cutting at the directory costs over the plain rule, measured in one
// process: RepairFile with and without rule_only, alternating call by call
// on the same X3F-shaped files, so that whatever else the machine does falls
// on both alike. On these samples (PROP listed last, no PROP in the junk) both
// write the same bytes, and rule_only runs the search from before the
// directory was looked for; it also checks its copy's structure, a few reads
// of the written file that the code before did not do.

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "batch/repair_one.h"
#include "batch/run_texts.h"
#include "bench/bench_files.h"
#include "x3f/repair.h"

namespace velkrane::bench {
namespace {

struct Case {
  const char* name;
  std::size_t size;
  std::size_t length;  // 0: no tail
};

constexpr Case kCases[] = {
    {"typical", 12000000, 12000000 - 300},
    {"far_tail", 30000000, 10000000},
    {"no_tail", 30000000, 0},
};

constexpr int kPairs = 201;

double Milliseconds(clockid_t clock) {
  timespec t;
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) * 1e3 +
         static_cast<double>(t.tv_nsec) / 1e6;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Times one repair on both clocks; the previous copy is removed first.
void TimeOne(const std::string& source, const std::string& target,
             bool rule_only, std::vector<double>& wall,
             std::vector<double>& cpu) {
  ::unlink(target.c_str());
  RepairOptions options;
  options.rule_only = rule_only;
  const double wall0 = Milliseconds(CLOCK_MONOTONIC);
  const double cpu0 = Milliseconds(CLOCK_THREAD_CPUTIME_ID);
  RepairFile(source, target, options);
  cpu.push_back(Milliseconds(CLOCK_THREAD_CPUTIME_ID) - cpu0);
  wall.push_back(Milliseconds(CLOCK_MONOTONIC) - wall0);
}

void Run(const std::string& folder) {
  std::printf("%-9s %11s %11s %9s %11s %11s %9s\n", "case", "rule ms",
              "ours ms", "ratio", "rule cpu", "ours cpu", "ratio");
  for (const Case& c : kCases) {
    const std::string source = folder + "/" + c.name + ".X3F";
    const std::string target = folder + "/out.X3F";
    WriteDurably(source, X3fSampleBytes(c.size, c.length, 7));
    // Both ways must cut at the same place, or the comparison is moot.
    RepairOptions plain_rule;
    plain_rule.rule_only = true;
    const RepairOutcome ours = RepairFile(source, target),
                        rule = RepairFile(source, target, plain_rule);
    if (ours.length != rule.length || ours.result != rule.result) {
      throw std::runtime_error(std::string(c.name) +
                               ": the two ways cut differently");
    }
    std::vector<double> wall[2], cpu[2], wall_ratio, cpu_ratio;
    for (int pair = 0; pair < kPairs; ++pair) {
      // Alternate which goes first, so neither always finds the cache warm.
      for (int k = 0; k < 2; ++k) {
        const bool rule_only = (pair + k) % 2 == 0;
        TimeOne(source, target, rule_only, wall[rule_only], cpu[rule_only]);
      }
      wall_ratio.push_back(wall[0].back() / wall[1].back());
      cpu_ratio.push_back(cpu[0].back() / cpu[1].back());
    }
    std::printf("%-9s %11.3f %11.3f %9.3f %11.3f %11.3f %9.3f\n", c.name,
                Median(wall[1]), Median(wall[0]), Median(wall_ratio),
                Median(cpu[1]), Median(cpu[0]), Median(cpu_ratio));
    ::unlink(source.c_str());
    ::unlink(target.c_str());
  }
  std::printf(
      "Medians of %d calls each; ratio = median of ours/rule over adjacent "
      "pairs.\n",
      kPairs);
}

}  // namespace
}  // namespace velkrane::bench

int main() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern =
      std::string(base ? base : "/tmp") + "/velkrane-structure-cost-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror(pattern.c_str());
    return 1;
  }
  try {
    velkrane::bench::Run(pattern);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "structure_cost: %s\n", e.what());
    ::rmdir(pattern.c_str());
    return 1;
  }
  ::rmdir(pattern.c_str());
  return 0;
}
