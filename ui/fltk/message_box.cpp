#include "ui/fltk/message_box.h"

#include <algorithm>
#include <memory>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>

#include "ui/fltk/icons.h"
#include "ui/fltk/text_box.h"
#include "ui/shared/main_form_texts.h"

namespace velkrane {

const char kOkText[] = "OK";

namespace {

constexpr int kMargin = 14;
constexpr int kIconSize = 32;
constexpr int kIconGap = 12;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kMinTextWidth = 180;

/// A plain "OK" button that Enter on either keyboard part presses, without
/// the return-arrow glyph of Fl_Return_Button.
class OkButton : public Fl_Button {
 public:
  OkButton(int x, int y, int w, int h) : Fl_Button(x, y, w, h, kOkText) {}

  int handle(int event) override {
    if (event == FL_SHORTCUT &&
        (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
      do_callback();
      return 1;
    }
    return Fl_Button::handle(event);
  }
};

// Esc reaches the window's callback; it closes the box as OK does.
void CloseBox(Fl_Widget* widget, void*) {
  Fl_Window* window =
      widget->as_window() ? widget->as_window() : widget->window();
  window->hide();
}

}  // namespace

void ShowMessageBox(const std::string& text, BoxIcon icon) {
  int screen_x, screen_y, screen_w, screen_h;
  Fl::screen_work_area(screen_x, screen_y, screen_w, screen_h);

  // Declared before the window so that it outlives the box showing it.
  std::unique_ptr<Fl_Image> stop_image;
  Fl_Window box(0, 0, 1, 1, kAppTitle);
  box.begin();
  Fl_Box* picture = nullptr;
  if (icon == BoxIcon::kStop) {
    stop_image = StopIconImage();
    picture = new Fl_Box(0, 0, kIconSize, kIconSize);
    picture->image(stop_image.get());
  }
  auto* message = new TextBox(0, 0, 1, 1);
  message->align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE);
  message->SetText(text);
  auto* ok = new OkButton(0, 0, kButtonWidth, kButtonHeight);
  ok->callback(CloseBox);
  box.end();
  box.callback(CloseBox);

  int text_w = 0, text_h = 0;
  message->Measure(text, 0, text_w, text_h);
  const int wrap_width = screen_w / 2;
  if (text_w > wrap_width) {
    message->wrap_width(wrap_width);
    message->Measure(text, wrap_width, text_w, text_h);
  }
  text_w = std::max(text_w, kMinTextWidth);

  const int left = kMargin + (picture ? kIconSize + kIconGap : 0);
  const int body_h = std::max(text_h, picture ? kIconSize : 0);
  const int width = left + text_w + kMargin;
  const int height = kMargin + body_h + kMargin + kButtonHeight + kMargin;
  if (picture) picture->position(kMargin, kMargin);
  message->resize(left, kMargin + std::max(0, (body_h - text_h) / 2), text_w,
                  text_h);
  ok->position((width - kButtonWidth) / 2, height - kMargin - kButtonHeight);

  box.resize(screen_x + (screen_w - width) / 2,
             screen_y + (screen_h - height) / 2, width, height);
  box.size_range(width, height, width, height);
  box.set_modal();
  box.show();
  ok->take_focus();
  while (box.shown()) Fl::wait();
}

}  // namespace velkrane
