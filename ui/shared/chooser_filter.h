#pragma once

// The open-file dialog's filter in the form the Linux chooser reads.

#include <string>
#include <vector>

#include "ui/shared/main_form_texts.h"

namespace velkrane {

/// `pattern` with every letter turned into a bracket of both cases, so
/// "*.X3F" also matches "photo.x3f": "*.[Xx]3[Ff]".
std::string AnyCasePattern(const std::string& pattern);

/// "Description\tpattern" lines joined by '\n'. Windows' "*.*" becomes "*"
/// (it matches names without a dot there too), "a;b" becomes "{a,b}", and
/// letters match in any case, as they do on Windows.
std::string ChooserFilter(const std::vector<FilterEntry>& entries);

}  // namespace velkrane
