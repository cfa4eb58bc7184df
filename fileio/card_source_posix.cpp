#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "fileio/card_source.h"
#include "fileio/card_source_platform.h"
#include "fileio/error.h"
#include "fileio/path_parts.h"

namespace velkrane {

namespace {

std::string OpenErrorText(int error) {
  std::string text = std::strerror(error);
  if (error == EACCES || error == EPERM) {
    text += " (reading a card's device takes root: run it with sudo)";
  }
  return text;
}

}  // namespace

CardSource::CardSource(const std::string& path)
    : path_(path), system_path_(path) {
  // O_NONBLOCK so that opening a FIFO cannot wait for a writer.
  file_.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY |
                                       O_NONBLOCK | O_LARGEFILE));
  if (!file_.Valid())
    platform::ThrowCannotOpenSource(path, OpenErrorText(errno));
  const int fd = static_cast<int>(file_.Get());
  struct stat info;
  if (::fstat(fd, &info) != 0)
    platform::ThrowCannotOpenSource(path, OpenErrorText(errno));
  if (S_ISDIR(info.st_mode))
    platform::ThrowCannotOpenSource(path, platform::kSourceIsFolder);
  if (S_ISBLK(info.st_mode)) {
    device_ = true;
    identity_ = {static_cast<std::uint64_t>(info.st_rdev), 0};
    std::uint64_t bytes = 0;
    int sector = 0;
    if (::ioctl(fd, BLKGETSIZE64, &bytes) != 0 ||
        ::ioctl(fd, BLKSSZGET, &sector) != 0) {
      platform::ThrowCannotOpenSource(path, OpenErrorText(errno));
    }
    size_ = bytes;
    if (sector > 0) sector_size_ = static_cast<std::size_t>(sector);
  } else if (S_ISREG(info.st_mode)) {
    identity_ = {static_cast<std::uint64_t>(info.st_dev),
                 static_cast<std::uint64_t>(info.st_ino)};
    size_ = static_cast<std::uint64_t>(info.st_size);
  } else {
    platform::ThrowCannotOpenSource(path, platform::kSourceIsNoCard);
  }
  // Read once, front to back: let the kernel read ahead as far as it likes.
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
}

namespace platform {

std::int64_t ReadSourceAt(const FileHandle& file, std::uint64_t offset,
                          void* data, std::size_t size,
                          const std::string& path) {
  for (;;) {
    const ssize_t got = ::pread(static_cast<int>(file.Get()), data, size,
                                static_cast<off_t>(offset));
    if (got >= 0) return got;
    // What a failing medium answers; anything else (ENODEV: the card was
    // pulled out) ends the pass.
    if (errno == EIO || errno == ENODATA || errno == EBADMSG ||
        errno == EILSEQ) {
      return kBadSectors;
    }
    if (errno != EINTR) {
      throw Error("Cannot read " + path + ": " + std::strerror(errno));
    }
  }
}

}  // namespace platform

namespace {

// One line of /proc/self/mountinfo: the device number its files carry, where
// it is mounted, and what it was mounted from.
struct Mount {
  dev_t device = 0;
  std::string point;
  std::string source;
};

// mountinfo writes a blank, tab, newline or backslash in a field as \ooo.
std::string Unescaped(const std::string& field) {
  std::string text;
  for (std::size_t i = 0; i < field.size(); ++i) {
    const bool octal = field[i] == '\\' && i + 3 < field.size() &&
                       field.find_first_not_of("01234567", i + 1) >= i + 4;
    if (octal) {
      text += static_cast<char>(std::stoi(field.substr(i + 1, 3), nullptr, 8));
      i += 3;
    } else {
      text += field[i];
    }
  }
  return text;
}

std::vector<Mount> Mounts() {
  std::vector<Mount> mounts;
  std::ifstream in("/proc/self/mountinfo");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string id, parent, numbers, root, point, word;
    fields >> id >> parent >> numbers >> root >> point;
    // Optional fields end at a lone "-"; then the type and the source.
    while (fields >> word && word != "-") {
    }
    std::string type, source;
    fields >> type >> source;
    unsigned major_number = 0, minor_number = 0;
    if (std::sscanf(numbers.c_str(), "%u:%u", &major_number, &minor_number) !=
        2) {
      continue;
    }
    mounts.push_back({makedev(major_number, minor_number), Unescaped(point),
                      Unescaped(source)});
  }
  return mounts;
}

std::string RealPath(const std::string& path) {
  const std::unique_ptr<char, decltype(&::free)> real(
      ::realpath(path.c_str(), nullptr), &::free);
  return real ? std::string(real.get()) : path;
}

// The mount that holds `folder`: the last one (a later mount hides an
// earlier one at the same place) whose files carry the folder's device
// number, else the longest mount point the path starts with (btrfs gives
// each subvolume a number of its own).
const Mount* MountOf(const std::vector<Mount>& mounts,
                     const std::string& folder, dev_t device) {
  const Mount* found = nullptr;
  for (const Mount& mount : mounts) {
    if (mount.device == device) found = &mount;
  }
  if (found != nullptr) return found;
  const std::string real = RealPath(folder);
  for (const Mount& mount : mounts) {
    const std::string& point = mount.point;
    const bool inside = real.compare(0, point.size(), point) == 0 &&
                        (point == "/" || real.size() == point.size() ||
                         real[point.size()] == '/');
    if (inside && (found == nullptr || point.size() >= found->point.size())) {
      found = &mount;
    }
  }
  return found;
}

std::string FirstLineOf(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

bool DeviceNumberIn(const std::string& file, dev_t& device) {
  unsigned major_number = 0, minor_number = 0;
  if (std::sscanf(FirstLineOf(file).c_str(), "%u:%u", &major_number,
                  &minor_number) != 2) {
    return false;
  }
  device = makedev(major_number, minor_number);
  return true;
}

std::string SysBlock(dev_t device) {
  return "/sys/dev/block/" + std::to_string(major(device)) + ":" +
         std::to_string(minor(device));
}

// Whatever a block device's data are stored on: the disk a partition is
// part of, the devices a mapping is built from (its slaves), and for a loop
// device the file behind it and, in turn, the devices that file is on.
struct Beneath {
  std::set<dev_t> devices;
  std::set<std::pair<dev_t, ino_t>> files;
};

void CollectBeneath(dev_t device, const std::vector<Mount>& mounts,
                    Beneath& beneath, int depth) {
  if (depth > 16 || !beneath.devices.insert(device).second) return;
  const std::string sys = SysBlock(device);
  dev_t below = 0;
  if (::access((sys + "/partition").c_str(), F_OK) == 0 &&
      DeviceNumberIn(sys + "/../dev", below)) {
    CollectBeneath(below, mounts, beneath, depth + 1);
  }
  const std::unique_ptr<DIR, int (*)(DIR*)> slaves(
      ::opendir((sys + "/slaves").c_str()), &::closedir);
  if (slaves) {
    while (const dirent* entry = ::readdir(slaves.get())) {
      if (entry->d_name[0] != '.' &&
          DeviceNumberIn(sys + "/slaves/" + entry->d_name + "/dev", below)) {
        CollectBeneath(below, mounts, beneath, depth + 1);
      }
    }
  }
  const std::string backing = FirstLineOf(sys + "/loop/backing_file");
  struct stat info;
  if (!backing.empty() && ::stat(backing.c_str(), &info) == 0) {
    beneath.files.insert({info.st_dev, info.st_ino});
    const Mount* mount = MountOf(mounts, backing, info.st_dev);
    struct stat from;
    if (mount != nullptr && ::stat(mount->source.c_str(), &from) == 0 &&
        S_ISBLK(from.st_mode)) {
      CollectBeneath(from.st_rdev, mounts, beneath, depth + 1);
    }
    if (major(info.st_dev) != 0) {
      CollectBeneath(info.st_dev, mounts, beneath, depth + 1);
    }
  }
}

// The nearest folder of `path` that exists, and what stat says of it.
std::string NearestExisting(std::string path, struct stat& info) {
  while (::stat(path.c_str(), &info) != 0) {
    std::string parent = DirectoryPart(path);
    while (parent.size() > 1 && parent.back() == '/') parent.pop_back();
    if (parent.empty()) parent = ".";
    if (parent == path) break;
    path = parent;
  }
  return path;
}

}  // namespace

std::string WhyFolderIsOnSource(const std::string& folder,
                                const CardSource& source) {
  struct stat info;
  const std::string existing = NearestExisting(folder, info);
  if (!source.device_ &&
      source.identity_ ==
          FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                       static_cast<std::uint64_t>(info.st_ino)}) {
    return folder + " is the image being read";
  }
  const std::vector<Mount> mounts = Mounts();
  const Mount* mount = MountOf(mounts, existing, info.st_dev);
  if (mount == nullptr) return {};
  // What the folder's file system is stored on: its own device number, or
  // for FUSE and other mounts without one, the device it was mounted from.
  std::set<dev_t> mounted_from;
  if (major(mount->device) != 0) mounted_from.insert(mount->device);
  Beneath beneath;
  struct stat from;
  if (::stat(mount->source.c_str(), &from) == 0) {
    if (S_ISBLK(from.st_mode)) {
      mounted_from.insert(from.st_rdev);
    } else if (S_ISREG(from.st_mode)) {
      beneath.files.insert({from.st_dev, from.st_ino});
    }
  }
  for (const dev_t device : mounted_from) {
    CollectBeneath(device, mounts, beneath, 0);
  }
  const std::string where = folder + " is on a file system (" + mount->source +
                            " mounted at " + mount->point + ") ";
  if (!source.device_) {
    const std::pair<dev_t, ino_t> image{
        static_cast<dev_t>(source.identity_.volume),
        static_cast<ino_t>(source.identity_.index)};
    if (beneath.files.count(image) != 0) {
      return where + "stored in the image being read";
    }
    return {};
  }
  const dev_t device = static_cast<dev_t>(source.identity_.volume);
  if (beneath.devices.count(device) != 0) {
    return where + "on the device being read";
  }
  return {};
}

}  // namespace velkrane
