#include "ui/fltk/text_box.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include "ui/fltk/font_fallback.h"
#include "ui/shared/text_wrap.h"

namespace velkrane {

namespace {

/// `text` as drawn in the current font: broken at `wrap_width` when set.
std::string Laid(const std::string& text, int wrap_width) {
  if (wrap_width <= 0) return text;
  return JoinLines(WrapText(text, wrap_width, [](const std::string& line) {
    return static_cast<int>(LineWidth(line) + 0.999);
  }));
}

}  // namespace

TextBox::TextBox(int x, int y, int w, int h, Fl_Boxtype box)
    : Fl_Box(box, x, y, w, h, nullptr) {
  type(kType);
  align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
}

void TextBox::SetText(const std::string& text) {
  if (text == text_) return;
  text_ = text;
  redraw();
}

void TextBox::Measure(const std::string& text, int wrap_width, int& width,
                      int& height) const {
  fl_font(labelfont(), labelsize());
  width = 0;
  height = 0;
  MeasureText(Laid(text, wrap_width), width, height);
}

void TextBox::draw() {
  draw_box();
  const int inset_x = Fl::box_dx(box()) + padding_;
  const int inset_y = Fl::box_dy(box());
  const int text_w = w() - 2 * inset_x;
  const int text_h = h() - 2 * inset_y;
  if (text_.empty() || text_w <= 0 || text_h <= 0) return;
  fl_font(labelfont(), labelsize());
  fl_color(active_r() ? labelcolor() : fl_inactive(labelcolor()));
  fl_push_clip(x() + inset_x, y() + inset_y, text_w, text_h);
  DrawText(Laid(text_, wrap_width_), x() + inset_x, y() + inset_y, text_w,
           text_h, align());
  fl_pop_clip();
}

}  // namespace velkrane
