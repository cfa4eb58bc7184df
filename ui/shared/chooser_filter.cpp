#include "ui/shared/chooser_filter.h"

namespace velkrane {

namespace {

const char kEveryFile[] = "*";

/// A Windows pattern list in FLTK's syntax: "*.a;*.b" -> "{*.a,*.b}".
std::string ChooserPattern(std::string_view windows_patterns) {
  std::vector<std::string> parts;
  std::string_view::size_type at = 0;
  for (;;) {
    const auto semicolon = windows_patterns.find(';', at);
    std::string part(windows_patterns.substr(
        at, semicolon == std::string_view::npos ? std::string_view::npos
                                                : semicolon - at));
    // On Windows "*.*" also matches names without a dot.
    if (part == "*.*") part = kEveryFile;
    if (part == kEveryFile) return kEveryFile;
    if (!part.empty()) parts.push_back(part);
    if (semicolon == std::string_view::npos) break;
    at = semicolon + 1;
  }
  if (parts.empty()) return kEveryFile;
  if (parts.size() == 1) return parts.front();
  std::string joined = "{";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) joined += ',';
    joined += parts[i];
  }
  return joined + "}";
}

/// The description without its "(pattern)" part, ending in the space that
/// FLTK's "(pattern)" follows.
std::string ChooserName(std::string_view description) {
  std::string name(description.substr(0, description.find('(')));
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name.empty() ? name : name + ' ';
}

}  // namespace

std::string ChooserFilter(const std::vector<FilterEntry>& entries) {
  std::string filter;
  for (const auto& entry : entries) {
    const std::string pattern = ChooserPattern(entry.pattern);
    if (pattern == kEveryFile) continue;
    if (!filter.empty()) filter += '\n';
    filter += ChooserName(entry.description) + '\t' + pattern;
  }
  return filter;
}

}  // namespace velkrane
