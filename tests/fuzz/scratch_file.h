#pragma once

// A file per fuzzing process for inputs that must be read from disk: in
// memory (/dev/shm) where it can be, so each input costs no disk write.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace velkrane::fuzz {

/// Writes `size` bytes at `data` to the scratch file and returns its path.
inline const std::string& ScratchFileWith(const std::uint8_t* data,
                                          std::size_t size) {
  static const std::string path = [] {
    const char* shm = "/dev/shm";
    const std::string folder = ::access(shm, W_OK) == 0 ? shm : "/tmp";
    return folder + "/velkrane-fuzz-" + std::to_string(::getpid());
  }();
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file || (size != 0 && std::fwrite(data, 1, size, file) != size))
    std::abort();
  std::fclose(file);
  return path;
}

}  // namespace velkrane::fuzz
