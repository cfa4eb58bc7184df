#include "ui/shared/chooser_filter.h"

#include <gtest/gtest.h>

#include <vector>

#include "ui/shared/main_form_texts.h"

namespace velkrane {
namespace {

TEST(ChooserFilter, WindowsFilterBecomesChooserLines) {
  const struct {
    std::vector<FilterEntry> entries;
    const char* want;
  } cases[] = {
      // FLTK adds "(*.X3F)" to the name, and an "All Files (*)" of its own.
      {{{"X3F Files (*.X3F)", "*.X3F"}, {"All Files (*.*)", "*.*"}},
       "X3F Files \t*.X3F"},
      {{{"Raw", "*.X3F;*.DNG"}, {"Text  (*.txt)", "*.txt"}},
       "Raw \t{*.X3F,*.DNG}\nText \t*.txt"},
      {{{"Any (*.X3F;*.*)", "*.X3F;*.*"}, {"Everything", "*"}}, ""},
      {{{"Empty", ""}}, ""},
      {{{"(*.X3F)", "*.X3F"}}, "\t*.X3F"},
      {{}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.want, ChooserFilter(c.entries));
}

}  // namespace
}  // namespace velkrane
