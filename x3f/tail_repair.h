#pragma once

#include <string>

namespace velkrane {

extern const char kTailFoundPrefix[];  // + file name of the target
extern const char kNoTailMessage[];
extern const char kOutOfMemoryError[];

/// Writes a copy of `source` cut where the X3F ends (its own directory,
/// wherever it lies, else 8 bytes after its last "PROP" within the first
/// kLoadLimit bytes) to `target`, and sets `message` to the outcome. Throws
/// velkrane::Error on any failure and then leaves `message`, the source and
/// any earlier target untouched.
void PostProcessFile(const std::string& source, const std::string& target,
                     std::string& message);

}  // namespace velkrane
