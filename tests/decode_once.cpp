// One press of Decode over the files named on the command line, printing the
// status texts: a real process for the suite to watch under strace.

#include <cstdio>
#include <string>
#include <vector>

#include "batch/batch_run.h"

namespace {

struct PrintingWindow final : velkrane::BatchWindow {
  std::vector<std::string> entries;

  int EntryCount() const override { return static_cast<int>(entries.size()); }
  std::string Entry(int index) const override {
    return entries[static_cast<std::size_t>(index)];
  }
  void SetStatusText(const std::string& text) override {
    std::puts(text.c_str());
    // Each text its own write, so that a tracer sees when it came.
    std::fflush(stdout);
  }
  void ProcessMessages() override {}
  void ShowMessage(const std::string& text) override {
    std::puts(text.c_str());
  }
};

}  // namespace

int main(int argc, char** argv) {
  PrintingWindow window;
  window.entries.assign(argv + 1, argv + argc);
  velkrane::RunBatch(window);  // what it throws ends the process with a failure
}
