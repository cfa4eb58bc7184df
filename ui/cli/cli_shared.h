#pragma once

// What the commands of velkrane-cli print with: terminal widths, a progress
// line rewritten in place, and JSON lines.

#include <nlohmann/json.hpp>
#include <string>

namespace velkrane::cli {

// Keys in the order they are documented, not sorted.
using Json = nlohmann::ordered_json;

struct Fit {
  std::size_t bytes = 0;
  int columns = 0;
};

/// How much of `text` fits in `columns` terminal columns, counting the East
/// Asian wide ranges and emoji as two columns each.
Fit FitTo(const std::string& text, int columns);

/// null for an empty text.
Json OrNull(const std::string& text);

/// One line per object; names that are not valid UTF-8 (possible on POSIX)
/// get replacement characters instead of ending the run.
std::string JsonLine(const Json& object);

/// A line on stdout that each Show replaces, cut to the terminal's width;
/// Show("") clears it. Does nothing unless `shown` (stdout is a terminal).
class ProgressLine {
 public:
  explicit ProgressLine(bool shown) : shown_(shown) {}
  bool Shown() const { return shown_; }
  void Show(std::string line);

 private:
  const bool shown_;
  int width_ = 0;
};

}  // namespace velkrane::cli
