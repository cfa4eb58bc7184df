#include "ui/shared/main_form_layout.h"

#include <cstdio>

namespace velkrane {

const char kAppTitle[] = "Velkrane";
const char kHeaderFormat[] = "%s - Velkrane - %s";
const char kHeaderFirstWord[] = "Morlisk";
const char kHeaderSecondWord[] = "Quendar";
const char kContactFormat[] = "Contact %s";
const char kWebFormat[] = "Web %s";
const char kSupportAddress[] = "support@velkrane.example";
const char kWebAddress[] = "www.velkrane.example";
const char kNoticeText[] =
    "Originals stay untouched; copies go to PostProcessed.";
const char kSelectText[] = "Select";
const char kClearText[] = "Clear";
const char kDecodeText[] = "Decode";
const char kOpenFilter[] = "X3F Files (*.X3F)|*.X3F|All Files (*.*)|*.*";

namespace {

std::string Format(const char* format, const char* first) {
  char text[256];
  std::snprintf(text, sizeof text, format, first);
  return text;
}

std::string Format(const char* format, const char* first, const char* second) {
  char text[256];
  std::snprintf(text, sizeof text, format, first, second);
  return text;
}

}  // namespace

std::string HeaderText() {
  return Format(kHeaderFormat, kHeaderFirstWord, kHeaderSecondWord);
}

std::string ContactText() { return Format(kContactFormat, kSupportAddress); }

std::string WebText() { return Format(kWebFormat, kWebAddress); }

std::string ErrorBoxText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') {
    return message + ".";
  }
  return message;
}

std::vector<FilterEntry> OpenFilterEntries() {
  std::vector<FilterEntry> entries;
  const std::string filter = kOpenFilter;
  std::string::size_type at = 0;
  while (at < filter.size()) {
    const auto bar = filter.find('|', at);
    if (bar == std::string::npos) break;
    auto end = filter.find('|', bar + 1);
    if (end == std::string::npos) end = filter.size();
    entries.push_back({filter.substr(at, bar - at),
                       filter.substr(bar + 1, end - bar - 1)});
    at = end + 1;
  }
  return entries;
}

}  // namespace velkrane
