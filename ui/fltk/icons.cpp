#include "ui/fltk/icons.h"

#include <FL/Fl_Pixmap.H>

#include "ui/fltk/icons/header_32.xpm"
#include "ui/fltk/icons/program_16.xpm"
#include "ui/fltk/icons/program_32.xpm"
#include "ui/fltk/icons/program_48.xpm"
#include "ui/fltk/icons/stop_32.xpm"

namespace velkrane {

std::unique_ptr<Fl_Image> HeaderIconImage() {
  return std::make_unique<Fl_Pixmap>(kHeaderIcon32);
}

std::vector<std::unique_ptr<Fl_RGB_Image>> ProgramIconImages() {
  std::vector<std::unique_ptr<Fl_RGB_Image>> images;
  for (const char* const* data :
       {kProgramIcon16, kProgramIcon32, kProgramIcon48}) {
    const Fl_Pixmap pixmap(data);
    images.push_back(std::make_unique<Fl_RGB_Image>(&pixmap));
  }
  return images;
}

std::unique_ptr<Fl_Image> StopIconImage() {
  return std::make_unique<Fl_Pixmap>(kStopIcon32);
}

}  // namespace velkrane
