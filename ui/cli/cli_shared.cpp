#include "ui/cli/cli_shared.h"

#include <climits>

#include "fileio/text.h"
#include "ui/cli/console.h"

namespace velkrane::cli {

Fit FitTo(const std::string& text, int columns) {
  Fit fit;
  while (fit.bytes < text.size()) {
    const auto [code, size] = DecodeUtf8(text, fit.bytes);
    const bool wide = (code >= 0x1100 && code <= 0x115F) ||
                      (code >= 0x2E80 && code <= 0xA4CF) ||
                      (code >= 0xAC00 && code <= 0xD7A3) ||
                      (code >= 0xF900 && code <= 0xFAFF) ||
                      (code >= 0xFF00 && code <= 0xFF60) ||
                      (code >= 0x1F300 && code <= 0x1FAFF) || code >= 0x20000;
    const int next = fit.columns + (wide ? 2 : 1);
    if (next > columns) break;
    fit.columns = next;
    fit.bytes += size;
  }
  return fit;
}

Json OrNull(const std::string& text) {
  return text.empty() ? Json() : Json(text);
}

std::string JsonLine(const Json& object) {
  return object.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

void ProgressLine::Show(std::string line) {
  if (!shown_ || (line.empty() && width_ == 0)) return;
  // A line longer than the terminal would wrap, and "\r" returns only to
  // the start of its last row.
  const int columns = TerminalColumns();
  if (columns > 1) line.resize(FitTo(line, columns - 1).bytes);
  // Spaces over what the last line left, not an escape sequence: a Windows
  // console before version 10 would print the escape as text.
  const int width = FitTo(line, INT_MAX).columns;
  std::string text = "\r" + line;
  if (width_ > width) {
    text += std::string(static_cast<std::size_t>(width_ - width), ' ') + "\r" +
            line;
  }
  Write(Stream::kOut, text);
  width_ = width;
}

}  // namespace velkrane::cli
