// Real modal boxes, shown by the program and closed by a timer that presses
// a key in them, as a user would.

#include <string>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include "batch/repair_one.h"
#include "batch/run_texts.h"
#include "tests/fltk_window_test_util.h"
#include "tests/test_util.h"
#include "ui/fltk/MainUnit.h"
#include "ui/fltk/message_box.h"
#include "ui/shared/main_form_layout.h"

namespace velkrane {
namespace {

/// What a timer saw in the modal box before it pressed `key` there.
struct BoxVisit {
  int key = FL_Enter;
  /// Runs inside the box's event loop before the key press.
  void (*before)(BoxVisit&) = nullptr;
  int tries = 0;
  bool seen = false;
  std::string title, text, button;
  bool has_icon = false;
  int x = 0, y = 0, w = 0, h = 0;
};

void VisitBox(void* data) {
  auto& visit = *static_cast<BoxVisit*>(data);
  Fl_Window* box = Fl::modal();
  if (!box) {
    // Not up yet; give up after a few seconds rather than hang the suite.
    if (++visit.tries < 200) Fl::repeat_timeout(0.02, VisitBox, data);
    return;
  }
  visit.seen = true;
  visit.title = box->label() ? box->label() : "";
  visit.x = box->x();
  visit.y = box->y();
  visit.w = box->w();
  visit.h = box->h();
  for (int i = 0; i < box->children(); ++i) {
    Fl_Widget* child = box->child(i);
    if (child->type() == TextBox::kType) {
      visit.text = static_cast<TextBox*>(child)->Text();
    } else if (child->image()) {
      visit.has_icon = true;
    } else if (child->label()) {
      visit.button = child->label();
    }
  }
  testing::PressKey(box, visit.key);
  if (box->shown()) {
    ADD_FAILURE() << "the key did not close the box";
    box->hide();
  }
}

/// Shows one box through `show` with a timer queued to visit it.
template <typename Show>
BoxVisit Visit(int key, Show show) {
  BoxVisit visit;
  visit.key = key;
  Fl::add_timeout(0.02, VisitBox, &visit);
  show();
  Fl::remove_timeout(VisitBox, &visit);
  return visit;
}

TEST(MessageBoxTest, EnterAndEscPressOkAndTheBoxSitsCentred) {
  int sx, sy, sw, sh;
  Fl::screen_work_area(sx, sy, sw, sh);
  const struct {
    int key;
    BoxIcon icon;
  } cases[] = {{FL_Enter, BoxIcon::kNone},
               {FL_Escape, BoxIcon::kNone},
               {FL_KP_Enter, BoxIcon::kStop},
               {FL_Escape, BoxIcon::kStop}};
  for (const auto& c : cases) {
    const BoxVisit visit = Visit(
        c.key, [&] { ShowMessageBox("Sorry, no files selected.", c.icon); });
    const std::string name = "key " + std::to_string(c.key);
    ASSERT_TRUE(visit.seen) << name;
    EXPECT_EQ("Velkrane", visit.title) << name;
    EXPECT_EQ("Sorry, no files selected.", visit.text) << name;
    EXPECT_EQ("OK", visit.button) << name;
    EXPECT_EQ(c.icon == BoxIcon::kStop, visit.has_icon) << name;
    EXPECT_NEAR(sx + sw / 2, visit.x + visit.w / 2, 1) << name;
    EXPECT_NEAR(sy + sh / 2, visit.y + visit.h / 2, 1) << name;
  }
}

TEST(MessageBoxTest, LongTextWrapsAtHalfTheScreen) {
  int sx, sy, sw, sh;
  Fl::screen_work_area(sx, sy, sw, sh);
  std::string folder = "/home/someone";
  while (folder.size() < 400) folder += "/photos";
  const std::string text = SummaryText(folder + "/PostProcessed/");
  const BoxVisit visit =
      Visit(FL_Enter, [&] { ShowMessageBox(text, BoxIcon::kNone); });
  ASSERT_TRUE(visit.seen);
  EXPECT_EQ(text, visit.text);
  EXPECT_LE(visit.w, sw / 2 + 2 * 14);
  EXPECT_GT(visit.h, 3 * 13) << "the text runs over several lines";
}

// The window with its real dialogs: the boxes the user would see.
class RealBoxesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form_.show();
    testing::WaitUntilMapped(&form_);
  }
  void TearDown() override {
    form_.hide();
    Fl::check();
  }
  FltkDialogs dialogs_;
  TMainForm form_{dialogs_};
};

TEST_F(RealBoxesTest, EmptyListBox) {
  const BoxVisit visit = Visit(FL_Enter, [&] { form_.Button1->do_callback(); });
  ASSERT_TRUE(visit.seen);
  EXPECT_EQ("Velkrane", visit.title);
  EXPECT_EQ("Sorry, no files selected.", visit.text);
  EXPECT_FALSE(visit.has_icon);
  EXPECT_TRUE(form_.shown());
}

TEST_F(RealBoxesTest, ListClearedDuringRunShowsTheErrorBox) {
  testing::ScopedTempDir dir;
  for (const char* name : {"a.X3F", "b.X3F"}) {
    testing::WriteSource(dir.File(name), 20, 40, 7);
    form_.LBMain->add(dir.File(name).c_str());
  }
  // Clear goes in as a queued press that the run's first pump delivers.
  Fl::add_timeout(
      0.0,
      [](void* data) { static_cast<TMainForm*>(data)->Button3->do_callback(); },
      &form_);
  const BoxVisit visit =
      Visit(FL_Escape, [&] { form_.Button1->do_callback(); });
  ASSERT_TRUE(visit.seen);
  EXPECT_EQ("List index out of bounds (1)", visit.text);
  EXPECT_TRUE(visit.has_icon) << "the error box carries the stop sign";
  EXPECT_NE("Ready.", form_.SBar->Panel(kStatusPanel)->Text());
  EXPECT_TRUE(form_.shown()) << "the program goes on after the error box";
}

}  // namespace
}  // namespace velkrane
