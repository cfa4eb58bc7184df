#include "ui/shared/chooser_filter.h"

#include <cctype>

namespace velkrane {

std::string AnyCasePattern(const std::string& pattern) {
  std::string any_case;
  bool in_bracket = false;
  for (const char c : pattern) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '[') in_bracket = true;
    if (c == ']') in_bracket = false;
    // A set the pattern already spells out is left as written.
    if (std::isalpha(u) && !in_bracket) {
      any_case += '[';
      any_case += static_cast<char>(std::toupper(u));
      any_case += static_cast<char>(std::tolower(u));
      any_case += ']';
    } else {
      any_case += c;
    }
  }
  return any_case;
}

namespace {

std::string ChooserPattern(std::string_view windows_patterns) {
  std::vector<std::string> parts;
  std::string_view::size_type at = 0;
  for (;;) {
    const auto semicolon = windows_patterns.find(';', at);
    std::string part(windows_patterns.substr(
        at, semicolon == std::string_view::npos ? std::string_view::npos
                                                : semicolon - at));
    if (part == "*.*") part = "*";
    if (!part.empty()) parts.push_back(AnyCasePattern(part));
    if (semicolon == std::string_view::npos) break;
    at = semicolon + 1;
  }
  if (parts.empty()) return "*";
  if (parts.size() == 1) return parts.front();
  std::string joined = "{";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) joined += ',';
    joined += parts[i];
  }
  return joined + "}";
}

}  // namespace

std::string ChooserFilter(const std::vector<FilterEntry>& entries) {
  std::string filter;
  for (const auto& entry : entries) {
    if (!filter.empty()) filter += '\n';
    filter += std::string(entry.description) + '\t' +
              ChooserPattern(entry.pattern);
  }
  return filter;
}

}  // namespace velkrane
