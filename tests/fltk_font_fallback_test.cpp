// Names in any script in the Linux window, drawn for real under Xvfb with the
// fonts of the test machine (fonts-noto-cjk, fonts-noto-color-emoji).

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <gtest/gtest.h>

#include "tests/fltk_window_test_util.h"
#include "ui/fltk/MainUnit.h"
#include "ui/fltk/font_fallback.h"
#include "ui/shared/main_form_layout.h"
#include "ui/shared/ui_font.h"

// After MainUnit.h: through X11's headers it defines macros named like the
// window's buttons.
#include <FL/fl_draw.H>

namespace velkrane {
namespace {

const char kLatinName[] = "/home/ana/Photos/IMG_0003.X3F";
const char kJapaneseName[] = "/home/ana/\u5199\u771f/\u5199\u771f0003.X3F";
const char kEmojiName[] = "/home/ana/Photos/\U0001F305 sunrise.X3F";

/// The list as it drew before: rows of the same height, in one font.
class OneFontList : public Fl_Hold_Browser {
 public:
  OneFontList(int x, int y, int w, int h) : Fl_Hold_Browser(x, y, w, h) {}

 protected:
  int item_height(void*) const override { return kListItemHeight; }
  int incr_height() const override { return kListItemHeight; }
};

using Pixels = std::vector<unsigned char>;

/// What the screen shows of `widget`, RGB by rows.
Pixels Capture(Fl_Window& window, const Fl_Widget& widget) {
  window.make_current();
  const std::unique_ptr<uchar[]> rgb(
      fl_read_image(nullptr, widget.x(), widget.y(), widget.w(), widget.h()));
  return Pixels(rgb.get(), rgb.get() + widget.w() * widget.h() * 3);
}

/// Pixels that are clearly neither grey nor the selection's blue: the text
/// is black and the list white, so only a colour glyph paints these.
int ColouredPixels(const Pixels& rgb) {
  int count = 0;
  for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) {
    const int r = rgb[i], g = rgb[i + 1], b = rgb[i + 2];
    count += std::max({r, g, b}) - std::min({r, g, b}) > 80;
  }
  return count;
}

// For each name: the fonts chosen cover every character, and the list row
// drawn with them shows glyphs where the one-font row of before shows boxes;
// a Latin name looks exactly as before.
TEST(FontFallback, EveryCharacterGetsAFontThatHasIt) {
  Fl_Double_Window window(kLBMain.width, 2 * 21, "rows");
  auto* ours = new FileListBox(0, 0, kLBMain.width, 21);
  auto* one_font = new OneFontList(0, 21, kLBMain.width, 21);
  window.end();
  window.show();
  testing::WaitUntilMapped(&window);

  const struct {
    const char* name;
    bool window_font_has_all;
    bool in_colour;
  } cases[] = {
      {kLatinName, true, false},
      {kJapaneseName, false, false},
      {kEmojiName, false, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.window_font_has_all,
              FontHasEveryCharacter(FL_HELVETICA, kUiFontPixels, c.name))
        << c.name;
    fl_font(FL_HELVETICA, kUiFontPixels);
    const auto parts = FontsForLine(c.name);
    std::string drawn;
    for (const auto& part : parts) {
      EXPECT_TRUE(FontHasEveryCharacter(part.font, kUiFontPixels, part.text))
          << part.text << " in " << Fl::get_font_name(part.font);
      drawn += part.text;
    }
    EXPECT_EQ(c.name, drawn);
    EXPECT_EQ(c.window_font_has_all, parts.size() == 1) << c.name;

    for (Fl_Hold_Browser* list : {static_cast<Fl_Hold_Browser*>(ours),
                                  static_cast<Fl_Hold_Browser*>(one_font)}) {
      list->clear();
      list->add(c.name);
    }
    window.redraw();
    Fl::check();
    const Pixels now = Capture(window, *ours);
    const Pixels before = Capture(window, *one_font);
    EXPECT_EQ(c.window_font_has_all, now == before) << c.name;
    EXPECT_EQ(c.in_colour, ColouredPixels(now) > 20) << c.name;
    EXPECT_EQ(0, ColouredPixels(before)) << c.name;
  }
  window.hide();
  Fl::check();
}

// FLTK's browser reads a leading '@' as a format code ("@b" bold, "@C1" red,
// "@S40" size, "@." none): a name that starts so is still shown as written,
// as a list that never sees its format character shows it, and its width
// does not grow the list's scrolling range.
TEST(FontFallback, NamesStartingWithFormatCodesShowAsWritten) {
  Fl_Double_Window window(kLBMain.width, 2 * 21, "rows");
  auto* ours = new FileListBox(0, 0, kLBMain.width, 21);
  auto* as_written = new FileListBox(0, 21, kLBMain.width, 21);
  as_written->format_char('\x01');
  window.end();
  window.show();
  testing::WaitUntilMapped(&window);

  const char* const names[] = {
      "@b@C1bold red.X3F", "@S200 a.X3F", "@.a.X3F",
      "@@a.X3F",           "@-a.X3F",     "@B1 a.X3F",
      "@r a.X3F",          "@",           "@b\u5199\u771f0003.X3F",
      kLatinName,
  };
  for (const char* name : names) {
    for (FileListBox* list : {ours, as_written}) {
      list->clear();
      list->add(name);
    }
    window.redraw();
    Fl::check();
    EXPECT_TRUE(Capture(window, *ours) == Capture(window, *as_written)) << name;
    EXPECT_EQ(as_written->hscrollbar.visible(), ours->hscrollbar.visible())
        << name;
  }
  window.hide();
  Fl::check();
}

}  // namespace
}  // namespace velkrane
