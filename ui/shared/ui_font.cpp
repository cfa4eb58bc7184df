#include "ui/shared/ui_font.h"

#include <algorithm>
#include <cctype>

namespace velkrane {

namespace {

const char* const kPreferredFamilies[] = {"Tahoma", "Liberation Sans",
                                          "DejaVu Sans"};

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::string PickUiFontFamily(const std::vector<std::string>& installed) {
  for (const char* family : kPreferredFamilies) {
    for (const auto& name : installed) {
      if (SameName(name, family)) return name;
    }
  }
  return {};
}

}  // namespace velkrane
