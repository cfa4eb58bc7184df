#pragma once

#include <memory>
#include <vector>

#include <FL/Fl_Image.H>

namespace velkrane {

/// The header picture shown by Image1, 32 x 32.
std::unique_ptr<Fl_Image> HeaderIconImage();

/// The program icon at 16, 32 and 48 pixels, for the window manager.
std::vector<std::unique_ptr<Fl_RGB_Image>> ProgramIconImages();

/// The general error box's stop sign, 32 x 32.
std::unique_ptr<Fl_Image> StopIconImage();

}  // namespace velkrane
