#include "ui/shared/main_form_layout.h"

#include <gtest/gtest.h>

#include <iterator>

#include "ui/shared/main_form_texts.h"

namespace velkrane {
namespace {

TEST(MainFormLayout, StartTexts) {
  EXPECT_EQ("Morlisk - Velkrane - Quendar", HeaderText());
  EXPECT_EQ(std::string("Contact ") + kSupportAddress, ContactText());
  EXPECT_EQ(std::string("Web ") + kWebAddress, WebText());
}

TEST(MainFormLayout, ErrorBoxPeriodRule) {
  const struct {
    const char* message;
    const char* shown;
  } cases[] = {
      {"List index out of bounds (3)", "List index out of bounds (3)"},
      {"Done!", "Done!"},
      {"Cannot open x", "Cannot open x."},
      {"Ends with a period.", "Ends with a period."},
      {"Ends with a dash -", "Ends with a dash -"},    // '-' sorts below '.'
      {"Ends with a slash/", "Ends with a slash/."},   // '/' sorts above '.'
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.shown, ErrorBoxText(c.message)) << c.message;
}

TEST(MainFormLayout, OpenFilterEntries) {
  ASSERT_EQ(2u, std::size(kOpenFilter));
  EXPECT_EQ("X3F Files (*.X3F)", kOpenFilter[0].description);
  EXPECT_EQ("*.X3F", kOpenFilter[0].pattern);
  EXPECT_EQ("All Files (*.*)", kOpenFilter[1].description);
  EXPECT_EQ("*.*", kOpenFilter[1].pattern);
}

TEST(MainFormLayout, ControlsFitTheClientArea) {
  for (const Rect& r : {kPanel1, kLBMain, kButton1, kButton2, kButton3, kSBar}) {
    EXPECT_LE(r.left + r.width, kClientWidth);
    EXPECT_LE(r.top + r.height, kClientHeight);
  }
  EXPECT_EQ(kClientHeight, kSBar.top + kSBar.height);  // the bar sits at the bottom
}

}  // namespace
}  // namespace velkrane
