// The filter the open-file dialog gets must work with the toolkit's own
// pattern matcher, which the desktop chooser is given too.

#include <string>
#include <vector>

#include <FL/filename.H>
#include <gtest/gtest.h>

#include "ui/shared/chooser_filter.h"
#include "ui/shared/main_form_layout.h"

namespace velkrane {
namespace {

/// The pattern of each "description\tpattern" line.
std::vector<std::string> Patterns(const std::string& filter) {
  std::vector<std::string> patterns;
  std::string::size_type at = 0;
  while (at < filter.size()) {
    auto end = filter.find('\n', at);
    if (end == std::string::npos) end = filter.size();
    const auto tab = filter.find('\t', at);
    if (tab != std::string::npos && tab < end) {
      patterns.push_back(filter.substr(tab + 1, end - tab - 1));
    }
    at = end + 1;
  }
  return patterns;
}

TEST(ChooserFilterMatch, X3FInAnyCaseThenEverything) {
  const auto patterns = Patterns(ChooserFilter(OpenFilterEntries()));
  ASSERT_EQ(2u, patterns.size());
  const struct {
    const char* name;
    bool x3f;
  } cases[] = {
      {"DSC_0001.X3F", true},  {"dsc_0001.x3f", true}, {"Mixed.X3f", true},
      {"a.X3F.txt", false},    {"a.X3", false},        {"X3F", false},
      {"photo.jpg", false},    {"no_extension", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.x3f, fl_filename_match(c.name, patterns[0].c_str()) != 0) << c.name;
    EXPECT_NE(0, fl_filename_match(c.name, patterns[1].c_str())) << c.name;
  }
}

}  // namespace
}  // namespace velkrane
