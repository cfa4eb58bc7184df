// The cut decision alone, as velkrane-cli makes it, on the files named: the
// source opened and the end found (FindRepair: the search and the check of
// the bytes before that end), repeated, its median in microseconds. The
// page's bench (bench/web_cut.mjs) sets the Worker's time for the same files
// against it.
// Usage: velkrane_cut_time FILE...

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <vector>

#include "fileio/file_io.h"
#include "x3f/end_search.h"
#include "x3f/repair.h"

int main(int argc, char** argv) {
  constexpr int kCalls = 201;
  try {
    for (int k = 1; k < argc; ++k) {
      std::vector<double> times;
      std::int64_t length = 0;
      for (int call = 0; call < kCalls; ++call) {
        const auto start = std::chrono::steady_clock::now();
        const velkrane::InputFile input(argv[k]);
        velkrane::RepairOptions options;
        options.dry_run = true;
        length =
            velkrane::FindRepair(velkrane::ByteSourceOf(input), options).length;
        times.push_back(std::chrono::duration<double, std::micro>(
                            std::chrono::steady_clock::now() - start)
                            .count());
      }
      std::nth_element(times.begin(), times.begin() + kCalls / 2, times.end());
      std::printf("%s\t%lld\t%.1f\n", argv[k], static_cast<long long>(length),
                  times[kCalls / 2]);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
