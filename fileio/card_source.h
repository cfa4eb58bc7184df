#pragma once

// A card, a device or a card's image, read once from start to end. It is
// opened read-only and nothing here ever writes to it. card_source.cpp holds
// what every platform shares (the read that survives bad sectors);
// card_source_posix.cpp and card_source_win32.cpp open the source and answer
// whether a folder lies on it. Paths are UTF-8; every failure throws
// velkrane::Error with the text a user reads.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fileio/file_io.h"

namespace velkrane {

/// Bytes [begin, end) of a source.
struct ByteRange {
  std::uint64_t begin = 0, end = 0;
};

/// What a pass over a card reads at a time: large, and a multiple of every
/// sector size a device has.
inline constexpr std::size_t kCardBlockSize = 4 * 1024 * 1024;

/// One source of a recovery: a regular file (an image from dd or ddrescue),
/// a Linux block device (/dev/sdb, /dev/mmcblk0p1, /dev/loop0), or on Windows
/// a drive ("E:", read as \\.\E:) or \\.\PhysicalDriveN.
class CardSource {
 public:
  /// Throws "Cannot open PATH: ..." when the path is missing, a folder, some
  /// other kind of file, or unreadable; a permission error says to run as
  /// root (Linux) or from an administrator prompt (Windows).
  explicit CardSource(const std::string& path);
  CardSource(CardSource&&) noexcept = default;
  CardSource& operator=(CardSource&&) noexcept = default;

  std::uint64_t Size() const { return size_; }
  /// The unit of reads and of unreadable ranges: the device's logical sector,
  /// 512 for an image.
  std::size_t SectorSize() const { return sector_size_; }
  const std::string& Path() const { return path_; }
  /// True for a device or drive, false for an image file.
  bool IsDevice() const { return device_; }

  /// Reads [offset, offset + length), clipped to Size(); `offset` must be a
  /// multiple of SectorSize() (a raw drive refuses anything else), `length`
  /// need not be. After a read fails with a media error (EIO, a CRC error),
  /// the rest of the request is read sector by sector: a sector that still
  /// fails is zero-filled and its range appended to `unreadable` (joined to
  /// the last range when they touch), and the read goes on past it. Returns the
  /// bytes filled: `length`, or less only at the end. Throws "Cannot read PATH:
  /// ..." when the source stops answering altogether (a card pulled out).
  std::size_t Read(std::uint64_t offset, char* buffer, std::size_t length,
                   std::vector<ByteRange>& unreadable);

 private:
  friend std::string WhyFolderIsOnSource(const std::string& folder,
                                         const CardSource& source);

  std::string path_;
  FileHandle file_;
  std::uint64_t size_ = 0;
  std::size_t sector_size_ = 512;
  bool device_ = false;
  // Linux: the device number of a device, or the image's file identity.
  // Windows: the image's file identity; a drive is found again by its path.
  FileIdentity identity_;
  // The name the system opened: "\\.\E:" for "E:" on Windows, else the path.
  std::string system_path_;
};

/// Empty when writing into `folder` cannot change what `source` reads; else
/// why it can, for an exit-2 message: the folder's file system lies on the
/// source device or one of its partitions (Linux: judged by the device each
/// mount in /proc/self/mountinfo comes from, so a FUSE mount counts by its
/// device; Windows: the same drive, or a drive on the physical disk read),
/// or, for an image, the folder is the image or a file system held in it
/// (a loop device backed by it). A folder that does not exist yet is judged
/// by its nearest existing parent.
std::string WhyFolderIsOnSource(const std::string& folder,
                                const CardSource& source);

}  // namespace velkrane
