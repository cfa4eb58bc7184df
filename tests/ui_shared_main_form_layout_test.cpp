#include "ui/shared/main_form_layout.h"

#include <gtest/gtest.h>

#include <iterator>
#include <vector>

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
      {"Ends with a dash -", "Ends with a dash -"},   // '-' sorts below '.'
      {"Ends with a slash/", "Ends with a slash/."},  // '/' sorts above '.'
      {"", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.shown, ErrorBoxText(c.message)) << c.message;
}

TEST(MainFormLayout, OpenFilterEntries) {
  ASSERT_EQ(2u, std::size(kOpenFilter));
  EXPECT_EQ("X3F Files (*.X3F)", kOpenFilter[0].description);
  EXPECT_EQ("*.X3F", kOpenFilter[0].pattern);
  EXPECT_EQ("All Files (*.*)", kOpenFilter[1].description);
  EXPECT_EQ("*.*", kOpenFilter[1].pattern);
}

TEST(MainFormLayout, ControlsFitTheClientArea) {
  for (const Rect& r :
       {kPanel1, kLBMain, kButton1, kButton2, kButton3, kSBar}) {
    EXPECT_LE(r.left + r.width, kClientWidth);
    EXPECT_LE(r.top + r.height, kClientHeight);
  }
  EXPECT_EQ(kClientHeight,
            kSBar.top + kSBar.height);  // the bar sits at the bottom
}

// Edges are scaled, so the status bar still ends at the client's bottom.
TEST(MainFormLayout, ScaledForDpi) {
  const struct {
    int dpi, client_width, client_height, font, sbar_top, sbar_height, edge1;
  } cases[] = {
      {96, 506, 407, 11, 388, 19, 250},
      {120, 633, 509, 14, 485, 24, 313},
      {144, 759, 611, 17, 582, 29, 375},
  };
  for (const auto& c : cases) {
    const Rect sbar = ScaleForDpi(kSBar, c.dpi);
    EXPECT_EQ(
        (std::vector<int>{c.client_width, c.client_height, c.font, c.sbar_top,
                          c.sbar_height, c.edge1, -1}),
        (std::vector<int>{ScaleForDpi(kClientWidth, c.dpi),
                          ScaleForDpi(kClientHeight, c.dpi),
                          ScaleForDpi(11, c.dpi), sbar.top, sbar.height,
                          ScaleStatusEdgeForDpi(kStatusPanelEdges[1], c.dpi),
                          ScaleStatusEdgeForDpi(kStatusPanelEdges[2], c.dpi)}))
        << c.dpi;
  }
  EXPECT_EQ(-17, ScaleForDpi(-11, 144)) << "rounds away from zero, as MulDiv";
}

}  // namespace
}  // namespace velkrane
