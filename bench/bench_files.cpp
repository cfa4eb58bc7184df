#include "bench/bench_files.h"

#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "x3f/cut_decision.h"
#include "x3f/end_search.h"

extern char** environ;

namespace velkrane::bench {

namespace {

constexpr char kSignature[] = "PROP";
constexpr std::size_t kSignatureSize = 4;
// The block size of the straightforward copy.
constexpr std::size_t kNaiveBlockSize = 61440;

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
  throw std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

// A call that moved no bytes but set no error: the file ended early.
[[noreturn]] void FailShort(ssize_t result, const std::string& what,
                            const std::string& path) {
  if (result < 0) Fail(what, path);
  throw std::runtime_error(what + " " + path + ": it ended early");
}

bool SignatureAt(const Bytes& bytes, std::size_t pos) {
  return pos + kSignatureSize <= bytes.size() &&
         std::memcmp(bytes.data() + pos, kSignature, kSignatureSize) == 0;
}

FileDescriptor OpenForReading(const std::string& path) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Get() < 0) Fail("cannot open", path);
  return fd;
}

FileDescriptor CreateNew(const std::string& path) {
  FileDescriptor fd(
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (fd.Get() < 0) Fail("cannot create", path);
  return fd;
}

void ReadFully(int fd, unsigned char* data, std::size_t size,
               const std::string& path) {
  while (size > 0) {
    const ssize_t got = ::read(fd, data, size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) FailShort(got, "cannot read", path);
    data += got;
    size -= static_cast<std::size_t>(got);
  }
}

void WriteFully(int fd, const unsigned char* data, std::size_t size,
                const std::string& path) {
  while (size > 0) {
    const ssize_t put = ::write(fd, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) FailShort(put, "cannot write", path);
    data += put;
    size -= static_cast<std::size_t>(put);
  }
}

// Where a reference way writes its copy, the one way or the other.
class CopyFile {
 public:
  CopyFile(const std::string& target, Output output)
      : target_(target),
        output_(output),
        path_(output == Output::kDurable ? target + ".tmp" : target),
        fd_(CreateNew(path_)) {}

  int Get() const { return fd_.Get(); }

  void Finish() {
    if (output_ == Output::kPlain) {
      fd_.Close();
      return;
    }
    if (::fsync(fd_.Get()) != 0) Fail("cannot sync", path_);
    fd_.Close();
    const std::string folder = target_.substr(0, target_.rfind('/') + 1);
    FileDescriptor dir(
        ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() < 0) Fail("cannot open", folder);
    if (::rename(path_.c_str(), target_.c_str()) != 0)
      Fail("cannot rename", path_);
    if (::fsync(dir.Get()) != 0) Fail("cannot sync", folder);
  }

 private:
  std::string target_;
  Output output_;
  std::string path_;
  FileDescriptor fd_;
};

std::int64_t SizeOf(int fd, const std::string& path) {
  struct stat info;
  if (::fstat(fd, &info) != 0) Fail("cannot stat", path);
  return static_cast<std::int64_t>(info.st_size);
}

}  // namespace

void FileDescriptor::Reset(int fd) noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

void FileDescriptor::Close() {
  if (::close(std::exchange(fd_, -1)) != 0) {
    throw std::runtime_error(std::string("close: ") + std::strerror(errno));
  }
}

Bytes SampleBytes(std::size_t size, std::uint64_t seed) {
  Bytes bytes(size);
  // splitmix64: eight bytes per step, fast enough for 2.4 GB of samples.
  std::uint64_t state = seed;
  for (std::size_t i = 0; i < size; i += 8) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    std::memcpy(bytes.data() + i, &z, std::min<std::size_t>(8, size - i));
  }
  // 'Q' cannot start or continue a "PROP", so this creates no new one.
  for (std::size_t i = 0; i + kSignatureSize <= size; ++i) {
    if (SignatureAt(bytes, i)) bytes[i] = 'Q';
  }
  return bytes;
}

void PlantSignature(Bytes& bytes, std::size_t pos) {
  if (pos + kSignatureSize > bytes.size()) {
    throw std::logic_error("signature past the end of the sample");
  }
  std::memcpy(bytes.data() + pos, kSignature, kSignatureSize);
  // Neighbours like "PRO" + "PROP" or "PROP" + "ROP" form a second signature
  // that overlaps this one; break it on the side outside the planted bytes.
  const std::size_t first = pos >= 3 ? pos - 3 : 0;
  for (std::size_t i = first; i <= pos + 3; ++i) {
    if (i == pos || !SignatureAt(bytes, i)) continue;
    bytes[i < pos ? i : i + 3] = 'Q';
  }
}

namespace {

void PutUint32(Bytes& bytes, std::size_t pos, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) {
    bytes[pos + i] = static_cast<unsigned char>(value >> (8 * i));
  }
}

void PutText(Bytes& bytes, std::size_t pos, const char* text) {
  std::memcpy(bytes.data() + pos, text, std::strlen(text));
}

}  // namespace

Bytes X3fSampleBytes(std::size_t size, std::size_t length, std::uint64_t seed,
                     SectionOrder order) {
  Bytes bytes = SampleBytes(size, seed);
  PutText(bytes, 0, "FOVb");
  if (length == 0) return bytes;
  constexpr std::size_t kCamf = 65536, kThumbnail = 262144, kProperties = 4096;
  constexpr std::size_t kPreview = 1048576, kFirstSection = 256;
  struct Section {
    const char* type;
    const char* signature;
    std::size_t offset;
    std::size_t length;
  };
  std::vector<Section> sections;
  std::size_t directory = 0;
  const auto add = [&](const char* type, const char* signature,
                       std::size_t section_length) {
    const std::size_t offset =
        sections.empty() ? kFirstSection
                         : sections.back().offset + sections.back().length;
    sections.push_back({type, signature, offset, section_length});
  };
  if (order == SectionOrder::kPropLast) {
    directory = length - (12 + 4 * 12 + 4);
    const std::size_t image = kFirstSection + kCamf + kThumbnail;
    if (directory < image + kProperties) {
      throw std::logic_error("an X3F sample needs more room");
    }
    add("CAMF", "SECc", kCamf);
    add("IMAG", "SECi", kThumbnail);
    add("IMA2", "SECi", directory - kProperties - image);
    add("PROP", "SECp", kProperties);
  } else {
    directory = length - (12 + 5 * 12 + 4);
    const std::size_t image =
        kFirstSection + kThumbnail + kCamf + kProperties + kPreview;
    if (directory <= image)
      throw std::logic_error("an X3F sample needs more room");
    add("IMA2", "SECi", kThumbnail);
    add("CAMF", "SECc", kCamf);
    add("PROP", "SECp", kProperties);
    add("IMA2", "SECi", kPreview);
    add("IMA2", "SECi", directory - image);
  }
  PutText(bytes, directory, "SECd");
  PutUint32(bytes, directory + 4, 0x00020000);
  PutUint32(bytes, directory + 8, static_cast<std::uint32_t>(sections.size()));
  std::size_t entry = directory + 12;
  std::size_t prop = 0;  // where the directory names PROP
  for (const auto& section : sections) {
    PutText(bytes, section.offset, section.signature);
    PutUint32(bytes, entry, static_cast<std::uint32_t>(section.offset));
    PutUint32(bytes, entry + 4, static_cast<std::uint32_t>(section.length));
    PutText(bytes, entry + 8, section.type);
    if (std::strcmp(section.type, "PROP") == 0) prop = entry + 8;
    entry += 12;
  }
  PutUint32(bytes, length - 4, static_cast<std::uint32_t>(directory));
  // The planted bytes must not form a second "PROP" with their neighbours,
  // or the rule would cut elsewhere.
  for (std::size_t i = directory - 3; i < std::min(length + 3, size - 3); ++i) {
    if (i != prop && SignatureAt(bytes, i)) {
      throw std::logic_error("a stray PROP in the X3F sample");
    }
  }
  return bytes;
}

void WriteDurably(const std::string& path, const Bytes& bytes) {
  FileDescriptor fd = CreateNew(path);
  WriteFully(fd.Get(), bytes.data(), bytes.size(), path);
  if (::fdatasync(fd.Get()) != 0) Fail("cannot sync", path);
  fd.Close();
}

Bytes ReadWhole(const std::string& path) {
  FileDescriptor fd = OpenForReading(path);
  Bytes bytes(static_cast<std::size_t>(SizeOf(fd.Get(), path)));
  ReadFully(fd.Get(), bytes.data(), bytes.size(), path);
  return bytes;
}

std::int64_t NaiveRepair(const std::string& source, const std::string& target,
                         Output output) {
  FileDescriptor in = OpenForReading(source);
  const auto window = static_cast<std::size_t>(
      std::min<std::int64_t>(SizeOf(in.Get(), source), kLoadLimit));
  Bytes buffer(window);
  ReadFully(in.Get(), buffer.data(), window, source);
  in.Close();

  std::int64_t tail = kNoTail;
  for (std::size_t end = window; end > 10; --end) {
    if (std::memcmp(buffer.data() + end - kSignatureSize, kSignature,
                    kSignatureSize) == 0) {
      tail = static_cast<std::int64_t>(end - kSignatureSize);
      break;
    }
  }
  if (tail == kNoTail) return kNoTail;
  const auto length = static_cast<std::size_t>(tail + kTailLength);
  if (length > window) throw std::runtime_error("tail in the last 7 bytes");

  CopyFile out(target, output);
  for (std::size_t done = 0; done < length; done += kNaiveBlockSize) {
    WriteFully(out.Get(), buffer.data() + done,
               std::min(kNaiveBlockSize, length - done), target);
  }
  out.Finish();
  return static_cast<std::int64_t>(length);
}

void KernelCopy(const std::string& source, const std::string& target,
                std::int64_t length, Output output) {
  FileDescriptor in = OpenForReading(source);
  CopyFile out(target, output);
  loff_t from = 0;
  loff_t to = 0;
  while (from < length) {
    const ssize_t copied =
        ::copy_file_range(in.Get(), &from, out.Get(), &to,
                          static_cast<std::size_t>(length - from), 0);
    if (copied < 0 && errno == EINTR) continue;
    if (copied <= 0) FailShort(copied, "cannot copy", source);
  }
  out.Finish();
}

void ReadBackward(const std::string& source, std::int64_t from, std::int64_t to,
                  std::size_t block) {
  FileDescriptor in = OpenForReading(source);
  Bytes buffer(block);
  for (std::int64_t end = to; end > from;) {
    const std::int64_t start =
        std::max<std::int64_t>(end - static_cast<std::int64_t>(block), from);
    auto* data = buffer.data();
    auto size = static_cast<std::size_t>(end - start);
    for (std::int64_t at = start; size > 0;) {
      const ssize_t got = ::pread(in.Get(), data, size, at);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) FailShort(got, "cannot read", source);
      data += got;
      at += got;
      size -= static_cast<std::size_t>(got);
    }
    end = start;
  }
}

double RunToDevNull(const std::vector<std::string>& args) {
  std::vector<std::string> owned = args;
  std::vector<char*> argv;
  for (std::string& arg : owned) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null",
                                   O_WRONLY, 0);
  pid_t pid = 0;
  const int error =
      ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) throw std::runtime_error("cannot start " + args[0]);
  int status = 0;
  struct rusage usage {};
  if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    throw std::runtime_error(args[0] + " failed");
  }
  const auto ms = [](const timeval& t) {
    return t.tv_sec * 1e3 + t.tv_usec / 1e3;
  };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

}  // namespace velkrane::bench
