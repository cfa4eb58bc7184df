// Program start: the main window and its message loop. Files dropped on
// Velkrane.exe or opened with it come as arguments and fill the list;
// Decode still waits for the user.

#include <windows.h>

#include <exception>

#include "ui/shared/main_form_texts.h"
#include "ui/win32/MainUnit.h"
#include "ui/win32/command_line.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  try {
    velkrane::TMainForm form(instance);
    form.OpenPaths(velkrane::CommandLinePaths());
    return form.Run(show_command);
  } catch (const std::exception& e) {
    // Only start-up failures get here; the window's own errors stay in it.
    velkrane::ShowBox(nullptr, velkrane::ErrorBoxText(e.what()), MB_ICONSTOP);
    return 1;
  }
}
