#include "ui/shared/text_wrap.h"

#include "fileio/text.h"

namespace velkrane {

namespace {

/// Length of the UTF-8 character that starts at `at`.
std::size_t CharLength(const std::string& text, std::size_t at) {
  return DecodeUtf8(text, at).length;
}

void WrapParagraph(const std::string& paragraph, int max_width,
                   const std::function<int(const std::string&)>& width_of,
                   std::vector<std::string>& lines) {
  std::string line;
  std::size_t at = 0;
  bool first_word = true;
  while (at <= paragraph.size()) {
    auto space = paragraph.find(' ', at);
    if (space == std::string::npos) space = paragraph.size();
    std::string word = paragraph.substr(at, space - at);
    at = space + 1;

    const std::string joined = first_word ? word : line + " " + word;
    first_word = false;
    if (width_of(joined) <= max_width) {
      line = joined;
      continue;
    }
    if (!line.empty()) lines.push_back(line);
    // The word alone is too wide: cut it where the line is full.
    while (width_of(word) > max_width) {
      std::size_t cut = CharLength(word, 0);
      while (cut < word.size()) {
        const std::size_t next = cut + CharLength(word, cut);
        if (width_of(word.substr(0, next)) > max_width) break;
        cut = next;
      }
      if (cut >= word.size()) break;
      lines.push_back(word.substr(0, cut));
      word.erase(0, cut);
    }
    line = word;
  }
  lines.push_back(line);
}

}  // namespace

std::vector<std::string> WrapText(
    const std::string& text, int max_width,
    const std::function<int(const std::string&)>& width_of) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (;;) {
    const auto newline = text.find('\n', at);
    WrapParagraph(
        text.substr(at, newline == std::string::npos ? std::string::npos
                                                     : newline - at),
        max_width, width_of, lines);
    if (newline == std::string::npos) break;
    at = newline + 1;
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string joined;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) joined += '\n';
    joined += lines[i];
  }
  return joined;
}

}  // namespace velkrane
