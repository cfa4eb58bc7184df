#pragma once

// A file per fuzzing process for inputs that must be read from disk: in
// memory (/dev/shm) where it can be, so each input costs no disk write.

#include <unistd.h>

#include <string>

namespace velkrane::fuzz {

inline const std::string& ScratchFile() {
  static const std::string path = [] {
    const char* shm = "/dev/shm";
    const std::string folder = ::access(shm, W_OK) == 0 ? shm : "/tmp";
    return folder + "/velkrane-fuzz-" + std::to_string(::getpid());
  }();
  return path;
}

}  // namespace velkrane::fuzz
