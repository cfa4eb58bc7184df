#include "ui/shared/ui_font.h"

#include <gtest/gtest.h>

namespace velkrane {
namespace {

TEST(UiFont, PrefersTahomaThenCloseSansSerifs) {
  const struct {
    std::vector<std::string> installed;
    const char* want;
  } cases[] = {
      {{"DejaVu Sans", "Liberation Sans", "Tahoma"}, "Tahoma"},
      {{"DejaVu Sans", "Liberation Sans"}, "Liberation Sans"},
      {{"Noto Sans", "DejaVu Sans"}, "DejaVu Sans"},
      {{"tahoma"}, "tahoma"},  // the name as installed, whatever its case
      {{"DejaVu Sans Mono", "Tahoma Bold"}, ""},
      {{}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.want, PickUiFontFamily(c.installed));
}

}  // namespace
}  // namespace velkrane
