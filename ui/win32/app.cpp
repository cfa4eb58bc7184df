// Program start: the main window and its message loop.

#include <windows.h>

#include <exception>

#include "ui/shared/main_form_texts.h"
#include "ui/win32/MainUnit.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  try {
    velkrane::TMainForm form(instance);
    return form.Run(show_command);
  } catch (const std::exception& e) {
    // Only start-up failures get here; the window's own errors stay in it.
    velkrane::ShowBox(nullptr, velkrane::ErrorBoxText(e.what()), MB_ICONSTOP);
    return 1;
  }
}
