#include "batch/output_names.h"

#include <cstdio>

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

namespace {

constexpr std::uint64_t kNameSector = 512;

}  // namespace

std::string RecoveredPhotoName(std::uint64_t offset, int attempt) {
  // 12 digits: sectors of a 512 TB card still sort by their text.
  char name[64];
  int size =
      std::snprintf(name, sizeof name, "SECTOR%012llu",
                    static_cast<unsigned long long>(offset / kNameSector));
  if (offset % kNameSector != 0) {
    size += std::snprintf(name + size, sizeof name - size, "_%03u",
                          static_cast<unsigned>(offset % kNameSector));
  }
  if (attempt > 1) {
    std::snprintf(name + size, sizeof name - size, "-%d", attempt);
  }
  return std::string(name) + ".X3F";
}

std::string IncompletePhotoName(std::uint64_t offset, int attempt) {
  return RecoveredPhotoName(offset, attempt) + ".incomplete";
}

}  // namespace velkrane
