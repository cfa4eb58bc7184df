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

TEST(MainFormLayout, ScaledForDpi) {
  const struct {
    int dpi;
    int client_width, client_height, font;
    Rect button3, sbar;
    int edges[3];
  } cases[] = {
      {96, 506, 407, 11, kButton3, kSBar, {50, 250, -1}},
      {120, 633, 509, 14, {530, 106, 94, 32}, {0, 485, 633, 24}, {63, 313, -1}},
      {144, 759, 611, 17, {636, 128, 113, 37}, {0, 582, 759, 29}, {75, 375, -1}},
      {192, 1012, 814, 22, {848, 170, 150, 50}, {0, 776, 1012, 38}, {100, 500, -1}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.client_width, ScaleForDpi(kClientWidth, c.dpi)) << c.dpi;
    EXPECT_EQ(c.client_height, ScaleForDpi(kClientHeight, c.dpi)) << c.dpi;
    EXPECT_EQ(c.font, ScaleForDpi(11, c.dpi)) << c.dpi;
    EXPECT_EQ(-c.font, ScaleForDpi(-11, c.dpi)) << "rounds like MulDiv";
    const Rect button3 = ScaleForDpi(kButton3, c.dpi), sbar = ScaleForDpi(kSBar, c.dpi);
    EXPECT_EQ((std::vector<int>{c.button3.left, c.button3.top, c.button3.width,
                                c.button3.height}),
              (std::vector<int>{button3.left, button3.top, button3.width, button3.height}))
        << c.dpi;
    EXPECT_EQ((std::vector<int>{c.sbar.left, c.sbar.top, c.sbar.width, c.sbar.height}),
              (std::vector<int>{sbar.left, sbar.top, sbar.width, sbar.height}))
        << c.dpi;
    EXPECT_EQ(ScaleForDpi(kClientHeight, c.dpi), sbar.top + sbar.height)
        << "the bar still ends at the bottom";
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(c.edges[i], ScaleStatusEdgeForDpi(kStatusPanelEdges[i], c.dpi)) << c.dpi;
    }
  }
}

}  // namespace
}  // namespace velkrane
