#pragma once

// The open-file dialog's filter in the form the Linux chooser reads.

#include <string>
#include <vector>

#include "ui/shared/main_form_texts.h"

namespace velkrane {

/// "name\tpattern" lines joined by '\n', for Fl_Native_File_Chooser::filter.
/// FLTK shows each entry as name + "(" + pattern + ")" and both its choosers
/// read the pattern back from the first parenthesis, so the name is the
/// description up to its own "(", which keeps the label as Windows shows it:
/// "X3F Files (*.X3F)". FLTK's matcher ignores letter case, as Windows does.
/// Windows' "*.*" means every file; such an entry is left out, since both
/// choosers add their own "All Files (*)". "a;b" becomes "{a,b}".
std::string ChooserFilter(const std::vector<FilterEntry>& entries);

}  // namespace velkrane
