#include <string>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>

#include "ui/fltk/MainUnit.h"
#include "ui/fltk/look.h"
#include "ui/shared/main_form_texts.h"

// velkrane FILE...: the files and folders given fill the list, as the
// desktop entry's "Open with" passes them. Decode still waits for the user.
int main(int argc, char** argv) {
  Fl_Window::default_xclass(velkrane::kAppTitle);
  velkrane::SetUpLook();
  velkrane::FltkDialogs dialogs;
  velkrane::TMainForm form(dialogs);
  if (argc > 1) form.OpenPaths(std::vector<std::string>(argv + 1, argv + argc));
  // Without argc and argv: FLTK would read options such as -geometry from
  // them, and every argument here is a file.
  form.show();
  // Returns once the main window is closed.
  return Fl::run();
}
