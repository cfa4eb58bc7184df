#include "ui/shared/chooser_filter.h"

#include <gtest/gtest.h>

#include "ui/shared/main_form_texts.h"

namespace velkrane {
namespace {

TEST(ChooserFilter, PatternsMatchInAnyCase) {
  const struct {
    const char* pattern;
    const char* want;
  } cases[] = {
      {"*.X3F", "*.[Xx]3[Ff]"},
      {"*.x3f", "*.[Xx]3[Ff]"},
      {"*", "*"},
      {"*.[ab]", "*.[ab]"},  // a set already written stays as it is
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.want, AnyCasePattern(c.pattern)) << c.pattern;
}

TEST(ChooserFilter, WindowsFilterBecomesChooserLines) {
  const struct {
    std::vector<FilterEntry> entries;
    const char* want;
  } cases[] = {
      {{{"X3F Files (*.X3F)", "*.X3F"}, {"All Files (*.*)", "*.*"}},
       "X3F Files (*.X3F)\t*.[Xx]3[Ff]\nAll Files (*.*)\t*"},
      {{{"Raw", "*.X3F;*.DNG"}}, "Raw\t{*.[Xx]3[Ff],*.[Dd][Nn][Gg]}"},
      {{{"Empty", ""}}, "Empty\t*"},
      {{}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.want, ChooserFilter(c.entries));
}

}  // namespace
}  // namespace velkrane
