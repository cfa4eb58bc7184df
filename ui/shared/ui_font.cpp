#include "ui/shared/ui_font.h"

#include "fileio/text.h"

namespace velkrane {

namespace {

const char* const kPreferredFamilies[] = {"Tahoma", "Liberation Sans",
                                          "DejaVu Sans"};

}  // namespace

std::string PickUiFontFamily(const std::vector<std::string>& installed) {
  for (const char* family : kPreferredFamilies) {
    for (const auto& name : installed) {
      if (EqualIgnoringAsciiCase(name, family)) return name;
    }
  }
  return {};
}

}  // namespace velkrane
