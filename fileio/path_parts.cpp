#include "fileio/path_parts.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>

#include "fileio/file_io.h"

namespace velkrane {
namespace {

std::string::size_type AfterLastSeparator(const std::string& path) {
  for (auto i = path.size(); i > 0; --i) {
    if (IsPathSeparator(path[i - 1])) return i;
  }
  return 0;
}

std::uint64_t RandomBits() {
  static std::random_device device;
  // Mixed with the clock, since some random_device implementations are
  // deterministic.
  const auto ticks = static_cast<std::uint64_t>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count());
  return ((static_cast<std::uint64_t>(device()) << 32) | device()) ^
         (ticks * 0x9E3779B97F4A7C15ull);
}

std::uint64_t (*name_bits)() = RandomBits;

}  // namespace

std::string DirectoryPart(const std::string& path) {
  return path.substr(0, AfterLastSeparator(path));
}

std::string FileNamePart(const std::string& path) {
  return path.substr(AfterLastSeparator(path));
}

std::string WithTrailingSeparator(const std::string& folder) {
  // A drive colon ends a directory part as a separator does: "C:" names the
  // drive's current folder, and "C:\" would be its root instead.
  if (!folder.empty() && IsPathSeparator(folder.back())) return folder;
  return folder + kPathSeparator;
}

std::string TemporaryPathFor(const std::string& target) {
  const std::uint64_t bits = name_bits();
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%016llx.tmp",
                static_cast<unsigned long long>(bits));
  return DirectoryPart(target) + "." + FileNamePart(target) + suffix;
}

void SetTemporaryNameBitsForTesting(std::uint64_t (*bits)()) {
  name_bits = bits ? bits : RandomBits;
}

}  // namespace velkrane
