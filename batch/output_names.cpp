#include "batch/output_names.h"

#include "fileio/file_io.h"
#include "fileio/path_parts.h"

namespace velkrane {

const char kOutputFolderName[] = "PostProcessed";

std::string OutputFolderFor(const std::string& source) {
  const std::string folder = DirectoryPart(source);
  // A bare name lies in the current folder; "/" or "\" alone would put the
  // copies at the root instead of beside the source.
  const std::string base =
      folder.empty() ? folder : WithTrailingSeparator(folder);
  return base + kOutputFolderName + kPathSeparator;
}

std::string TargetFor(const std::string& source) {
  return OutputFolderFor(source) + FileNamePart(source);
}

std::string TargetFor(const std::string& source, const std::string& relative,
                      const std::string& output) {
  if (output.empty()) return TargetFor(source);
  return WithTrailingSeparator(output) + relative;
}

}  // namespace velkrane
