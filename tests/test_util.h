#pragma once

// Real files for tests: a fresh temporary folder per test, byte builders, and
// the repair of one file as a single outcome text.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "batch/repair_one.h"
#include "batch/run_texts.h"
#include "fileio/error.h"
#include "fileio/path_parts.h"

namespace velkrane::testing {

using Bytes = std::vector<unsigned char>;
namespace fs = std::filesystem;

inline fs::path PathOf(const std::string& utf8) { return fs::u8path(utf8); }

inline std::string Utf8(const fs::path& path) {
  const auto text = path.u8string();
  return std::string(text.begin(), text.end());
}

/// A new, empty folder that is removed with everything in it at scope exit.
class ScopedTempDir {
 public:
  explicit ScopedTempDir(const fs::path& base = fs::temp_directory_path()) {
    std::random_device random;
    for (;;) {
      path_ = base / ("velkrane-test-" + std::to_string(random()) +
                      std::to_string(random()));
      if (fs::create_directory(path_)) break;
    }
  }
  ~ScopedTempDir() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::all, ignored);
    fs::remove_all(path_, ignored);
  }
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  /// The UTF-8 path of `name` inside the folder, with the platform's separator.
  std::string File(const std::string& name) const {
    return Utf8((path_ / PathOf(name)).make_preferred());
  }
  std::string Path() const { return Utf8(path_); }

 private:
  fs::path path_;
};

inline Bytes BytesOf(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

/// `size` pseudo-random bytes that never contain 'P', so the only signatures
/// are the ones a test plants.
inline Bytes Filler(std::size_t size, unsigned seed = 1) {
  std::minstd_rand random(seed);
  Bytes bytes(size);
  for (auto& b : bytes) {
    b = static_cast<unsigned char>(random());
    if (b == 'P') b = 'Q';
  }
  return bytes;
}

inline void Plant(Bytes& bytes, std::size_t pos, const char* text = "PROP") {
  for (std::size_t i = 0; text[i]; ++i)
    bytes.at(pos + i) = static_cast<unsigned char>(text[i]);
}

inline void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write test file " + path);
}

/// Writes a source of `size` bytes with its tail signature at `tail` (so a
/// repaired copy is its first `tail + 8` bytes) and returns its bytes.
inline Bytes WriteSource(const std::string& path, std::size_t tail,
                         std::size_t size, unsigned seed = 1) {
  Bytes bytes = Filler(size, seed);
  Plant(bytes, tail);
  WriteFile(path, bytes);
  return bytes;
}

/// The first `length` bytes: what a repair of `bytes` should write.
inline Bytes Head(const Bytes& bytes, std::size_t length) {
  return Bytes(bytes.begin(),
               bytes.begin() + static_cast<std::ptrdiff_t>(length));
}

/// Runs PostProcessFile and returns its message, or "error: " and the error's
/// text. A failure must leave the message as it was.
inline std::string Repair(const std::string& source,
                          const std::string& target) {
  std::string message = "kept";
  try {
    PostProcessFile(source, target, message);
    return message;
  } catch (const Error& e) {
    EXPECT_EQ("kept", message) << "a failure must not set the message";
    return std::string("error: ") + e.what();
  }
}

// In one read: byte by byte, the 45 MB files of the X3F tests took most of a
// minute under the sanitizers.
inline Bytes ReadFile(const std::string& path) {
  std::ifstream in(PathOf(path), std::ios::binary | std::ios::ate);
  if (!in) throw std::runtime_error("cannot read test file " + path);
  Bytes bytes(static_cast<std::size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()),
          static_cast<std::streamsize>(bytes.size()));
  if (!in) throw std::runtime_error("cannot read test file " + path);
  return bytes;
}

inline bool Exists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(PathOf(path), ignored);
}

/// The names in a folder, to show that no temporary file was left behind.
inline std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(PathOf(folder), ignored)) {
    names.push_back(Utf8(entry.path().filename()));
  }
  return names;
}

/// While it lives, temporary names count up from 0 instead of being random,
/// so a test can plant a file at the name the next write tries first.
class PredictableTemporaryNames {
 public:
  PredictableTemporaryNames() {
    next_ = 0;
    SetTemporaryNameBitsForTesting([] { return next_++; });
  }
  ~PredictableTemporaryNames() { SetTemporaryNameBitsForTesting(nullptr); }
  PredictableTemporaryNames(const PredictableTemporaryNames&) = delete;
  PredictableTemporaryNames& operator=(const PredictableTemporaryNames&) =
      delete;

  /// The name the next write to `target` tries first.
  std::string Next(const std::string& target) {
    const std::string name = TemporaryPathFor(target);
    --next_;
    return name;
  }

 private:
  static inline std::uint64_t next_ = 0;
};

}  // namespace velkrane::testing
