#include <FL/Fl.H>
#include <FL/Fl_Window.H>

#include "ui/fltk/MainUnit.h"
#include "ui/fltk/look.h"
#include "ui/shared/main_form_texts.h"

int main() {
  Fl_Window::default_xclass(velkrane::kAppTitle);
  velkrane::SetUpLook();
  velkrane::FltkDialogs dialogs;
  velkrane::TMainForm form(dialogs);
  form.show();
  // Returns once the main window is closed.
  return Fl::run();
}
