#include "batch/recover_names.h"

#include <cstdio>

namespace velkrane {

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
