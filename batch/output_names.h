#pragma once

// The names of what a run writes, in one place: the folder each copy goes
// into and the name each copy takes. Front ends and tests build their texts
// and expectations from these, never from a spelled-out copy.

#include <string>

namespace velkrane {

/// The folder each copy goes into, beside its source.
extern const char kOutputFolderName[];

/// The "PostProcessed" folder beside `source`, ending in a separator.
std::string OutputFolderFor(const std::string& source);

/// Where the copy of `source` goes: its own name in OutputFolderFor(source).
std::string TargetFor(const std::string& source);

/// Where the copy of a file found `relative` below a searched PATH goes when
/// copies are put under `output`; an empty `output` means beside the source.
std::string TargetFor(const std::string& source, const std::string& relative,
                      const std::string& output);

}  // namespace velkrane
