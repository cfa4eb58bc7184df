#include "ui/fltk/look.h"

#include <vector>

#include <FL/Enumerations.H>
#include <FL/Fl.H>

#include "ui/shared/ui_font.h"

namespace velkrane {

std::string SetUpLook() {
  Fl::scheme("gtk+");
  // The usual light face of desktop dialogs.
  Fl::background(0xF0, 0xF0, 0xF0);
  Fl::background2(0xFF, 0xFF, 0xFF);
  Fl::foreground(0x00, 0x00, 0x00);
  Fl::set_color(FL_SELECTION_COLOR, 0x33, 0x99, 0xFF);

  const Fl_Font font_count = Fl::set_fonts(nullptr);
  std::vector<std::string> families;
  std::vector<Fl_Font> indices;
  for (Fl_Font font = FL_FREE_FONT; font < font_count; ++font) {
    int attributes = 0;
    const char* name = Fl::get_font_name(font, &attributes);
    if (name && attributes == 0) {
      families.push_back(name);
      indices.push_back(font);
    }
  }
  const std::string family = PickUiFontFamily(families);
  for (std::size_t i = 0; i < families.size(); ++i) {
    if (families[i] == family) {
      Fl::set_font(FL_HELVETICA, indices[i]);
      break;
    }
  }
  FL_NORMAL_SIZE = kUiFontPixels;
  return family;
}

}  // namespace velkrane
