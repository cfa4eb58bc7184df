#pragma once

// Sample sources and the two reference ways of doing the repair, measured
// beside PostProcessFile on the same files. POSIX only, like the benchmark.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace velkrane::bench {

using Bytes = std::vector<unsigned char>;

/// An owned POSIX file descriptor.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) noexcept : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept
      : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    Reset(std::exchange(other.fd_, -1));
    return *this;
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { Reset(); }

  int Get() const noexcept { return fd_; }
  void Reset(int fd = -1) noexcept;
  /// Closes and throws when close reports a failed write.
  void Close();

 private:
  int fd_;
};

/// `size` pseudo-random bytes spread over all 256 values, like compressed
/// image data, with every accidental "PROP" broken up.
Bytes SampleBytes(std::size_t size, std::uint64_t seed);

/// Writes "PROP" at `pos` and breaks any other occurrence it forms with its
/// neighbours, so `pos` is the only signature in that stretch.
void PlantSignature(Bytes& bytes, std::size_t pos);

/// How a reference way writes its copy. kDurable as PostProcessFile does: into
/// a temporary name beside the target, flushed, renamed over the target, and
/// the folder flushed; any repair that never lets a half-written file carry
/// the target's name, even after a power cut, must take these steps. kPlain:
/// straight into the target, left in the page cache, as Velkrane's copies were
/// before they were flushed.
enum class Output { kPlain, kDurable };

/// The order of an X3F sample's sections. kPropLast: CAMF, a thumbnail, the
/// image, the properties, so the one "PROP" (in the directory) lies 8 bytes
/// before the end. kLater, as later cameras write: a thumbnail, CAMF, the
/// properties, a preview, the image, so the directory ends in "IMA2".
enum class SectionOrder { kPropLast, kLater };

/// SampleBytes shaped as an X3F that ends at `length`: a "FOVb" header, the
/// sections a camera writes with their signatures, in `order`, and the
/// directory listing them. Junk follows up to `size`. With `length` 0 only
/// the header is there: no end at all.
Bytes X3fSampleBytes(std::size_t size, std::size_t length, std::uint64_t seed,
                     SectionOrder order = SectionOrder::kPropLast);

/// Writes `bytes` to a new file and waits until they are on disk, so that
/// write-back of the samples cannot overlap a measurement.
void WriteDurably(const std::string& path, const Bytes& bytes);

Bytes ReadWhole(const std::string& path);

/// Reference (a), the straightforward way: reads the whole window into
/// memory, tests each position from the end with a four-byte compare and
/// writes the prefix in 61,440-byte blocks. Returns the output length, or -1
/// when there is no tail (and then writes nothing).
std::int64_t NaiveRepair(const std::string& source, const std::string& target,
                         Output output);

/// Reference (b), the limit: the kernel's copy of exactly `length` bytes into
/// a new file, with no search.
void KernelCopy(const std::string& source, const std::string& target,
                std::int64_t length, Output output);

/// Only reads bytes [from, to) of `source` into memory, backward in blocks of
/// `block` bytes: what any search of that stretch must at least do.
void ReadBackward(const std::string& source, std::int64_t from, std::int64_t to,
                  std::size_t block);

/// Runs `args` (a program's path first) with stdout on /dev/null, waits for
/// it, and returns the CPU time it used in ms (user + system), which the
/// benchmark's own clock does not see. Throws unless it exits with 0.
double RunToDevNull(const std::vector<std::string>& args);

}  // namespace velkrane::bench
