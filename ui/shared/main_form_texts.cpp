#include "ui/shared/main_form_texts.h"

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

}  // namespace velkrane
