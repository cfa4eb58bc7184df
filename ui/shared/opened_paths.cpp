#include "ui/shared/opened_paths.h"

#include <string_view>

#include "batch/folder_walk.h"
#include "fileio/text.h"

namespace velkrane {
namespace {

constexpr char kFileScheme[] = "file:";
constexpr char kLocalHost[] = "localhost";

bool StartsWithIgnoringCase(const std::string& text, std::string_view prefix) {
  return EqualIgnoringAsciiCase(std::string_view(text).substr(0, prefix.size()),
                                prefix);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

/// `text` with every "%XY" turned into its byte; nothing when an escape is
/// cut short, not hexadecimal, or a null, which no path can hold.
std::optional<std::string> PercentDecoded(const std::string& text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      decoded += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
    if (high < 0 || low < 0 || (high == 0 && low == 0)) return std::nullopt;
    decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return decoded;
}

/// The local path a file URI names, or nothing.
std::optional<std::string> PathOfFileUri(const std::string& uri) {
  std::string rest = uri.substr(sizeof kFileScheme - 1);
  if (rest.compare(0, 2, "//") == 0) {
    const std::size_t path_at = rest.find('/', 2);
    if (path_at == std::string::npos) return std::nullopt;
    const std::string host = rest.substr(2, path_at - 2);
    if (!host.empty() && !EqualIgnoringAsciiCase(host, kLocalHost)) {
      return std::nullopt;
    }
    rest.erase(0, path_at);
  }
  if (rest.empty() || rest[0] != '/') return std::nullopt;
  // A query or fragment is not part of the path.
  rest = rest.substr(0, rest.find_first_of("?#"));
  return PercentDecoded(rest);
}

}  // namespace

std::vector<std::string> ListEntriesFor(const std::vector<std::string>& paths) {
  std::vector<std::string> given;
  for (const std::string& path : paths) {
    if (!path.empty()) given.push_back(path);
  }
  std::vector<std::string> entries;
  for (FoundFile& found : FindX3fFiles(given))
    entries.push_back(std::move(found.path));
  return entries;
}

std::optional<std::vector<std::string>> PathsFromUriList(
    const std::string& text) {
  std::vector<std::string> paths;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '/') {
      paths.push_back(line);
    } else if (StartsWithIgnoringCase(line, kFileScheme)) {
      if (auto path = PathOfFileUri(line)) paths.push_back(std::move(*path));
    }
  }
  if (paths.empty()) return std::nullopt;
  return paths;
}

}  // namespace velkrane
