// One press of Decode over the files named on the command line, printing each
// status text on a line: a real process for the tests that watch its system
// calls from outside, under strace.

#include <cstdio>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "batch/batch_run.h"

namespace {

class PrintingWindow final : public velkrane::BatchWindow {
 public:
  explicit PrintingWindow(std::vector<std::string> entries)
      : entries_(std::move(entries)) {}
  int EntryCount() const override { return static_cast<int>(entries_.size()); }
  std::string Entry(int index) const override {
    return entries_[static_cast<std::size_t>(index)];
  }
  void SetStatusText(const std::string& text) override {
    std::printf("%s\n", text.c_str());
  }
  void ProcessMessages() override {}
  void ShowMessage(const std::string& text) override {
    std::printf("%s\n", text.c_str());
  }

 private:
  std::vector<std::string> entries_;
};

}  // namespace

int main(int argc, char** argv) {
  PrintingWindow window(std::vector<std::string>(argv + 1, argv + argc));
  try {
    velkrane::RunBatch(window);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
