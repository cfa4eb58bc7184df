// CardSource on Linux devices: a loop device as a card reader's device, a
// real read that fails (tools/eio-fuse), permissions, and which mounts lie
// on a source. Cases the machine refuses (no loop device, no /dev/fuse) are
// skipped with the reason.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "fileio/card_source.h"
#include "fileio/error.h"
#include "real_devices.h"
#include "test_util.h"
#include "x3f_sample.h"

namespace velkrane {
namespace {

using testing::Bytes;
using testing::Filler;
using testing::LoopDevice;
using testing::Mounted;
using testing::MustRun;
using testing::ScopedTempDir;
using testing::ShellQuoted;
using testing::WriteFile;

// Reads the whole source in blocks as a pass does.
Bytes ReadAll(CardSource& source, std::vector<ByteRange>& unreadable,
              std::size_t block = 256 * 1024) {
  Bytes all;
  std::vector<char> buffer(block);
  for (std::uint64_t at = 0;;) {
    const std::size_t got = source.Read(at, buffer.data(), block, unreadable);
    all.insert(all.end(), buffer.begin(),
               buffer.begin() + static_cast<std::ptrdiff_t>(got));
    at += got;
    if (got < block) return all;
  }
}

TEST(CardSourcePosix, ReadsALoopDeviceInItsSectors) {
  ScopedTempDir dir;
  const std::string image = dir.File("card.img");
  const Bytes bytes = Filler(3 * 1024 * 1024, 3);
  WriteFile(image, bytes);
  for (const std::size_t sector : {512, 4096}) {
    std::string why;
    const auto loop = LoopDevice::Make(image, false, why);
    if (!loop) GTEST_SKIP() << why;
    MustRun("losetup --sector-size " + std::to_string(sector) + " " +
            ShellQuoted(loop->Path()));
    CardSource source(loop->Path());
    EXPECT_TRUE(source.IsDevice());
    EXPECT_EQ(bytes.size(), source.Size());
    EXPECT_EQ(sector, source.SectorSize());
    std::vector<ByteRange> unreadable;
    EXPECT_TRUE(ReadAll(source, unreadable) == bytes) << sector;
    EXPECT_TRUE(unreadable.empty());
    std::vector<char> buffer(sector);
    // A raw device reads whole sectors: an offset between them is refused.
    EXPECT_THROW(source.Read(sector / 2, buffer.data(), sector, unreadable),
                 Error);
  }
}

TEST(CardSourcePosix, BadSectorsAreZeroFilledAndTheReadGoesOn) {
  ScopedTempDir dir;
  const std::string bytes_path = dir.File("card.img");
  const Bytes bytes = Filler(1024 * 1024, 5);
  WriteFile(bytes_path, bytes);
  const std::string folder = dir.File("fuse");
  MustRun("mkdir " + ShellQuoted(folder));
  // Two failures in neighbouring sectors, one in a later block, one in the
  // last sector.
  std::string why;
  const auto mounted =
      Mounted::FailingFile(bytes_path, folder, "4106 4700 700000 1048575", why);
  if (!mounted) GTEST_SKIP() << why;

  CardSource source(folder + "/card.img");
  std::vector<ByteRange> unreadable;
  const Bytes read = ReadAll(source, unreadable);
  ASSERT_EQ(bytes.size(), read.size());
  const std::vector<std::pair<std::uint64_t, std::uint64_t>> want = {
      {4096, 5120}, {699904, 700416}, {1048064, 1048576}};
  ASSERT_EQ(want.size(), unreadable.size());
  for (std::size_t k = 0; k < want.size(); ++k) {
    EXPECT_EQ(want[k].first, unreadable[k].begin) << k;
    EXPECT_EQ(want[k].second, unreadable[k].end) << k;
  }
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    bool bad = false;
    for (const auto& range : want)
      bad |= at >= range.first && at < range.second;
    if (read[at] != (bad ? 0 : bytes[at])) {
      ADD_FAILURE() << "byte " << at << (bad ? " is not zero" : " differs");
      break;
    }
  }
}

TEST(CardSourcePosix, PermissionErrorSaysToRunAsRoot) {
  ScopedTempDir dir;
  const std::string image = dir.File("card.img");
  WriteFile(image, Filler(512));
  ::chmod(image.c_str(), 0600);
  ::chmod(dir.Path().c_str(), 0755);
  int pipe_ends[2];
  ASSERT_EQ(0, ::pipe(pipe_ends));
  const pid_t child = ::fork();
  ASSERT_NE(-1, child);
  if (child == 0) {
    // Another user than the file's owner, as a user without root is.
    std::string text = "cannot change user";
    if (::setgid(65534) == 0 && ::setuid(65534) == 0)
      text = [&image] {
        try {
          CardSource source(image);
          return std::string("opened");
        } catch (const Error& e) {
          return std::string(e.what());
        }
      }();
    (void)!::write(pipe_ends[1], text.data(), text.size());
    ::_exit(0);
  }
  ::close(pipe_ends[1]);
  std::string text;
  char buffer[512];
  for (ssize_t got; (got = ::read(pipe_ends[0], buffer, sizeof buffer)) > 0;) {
    text.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(pipe_ends[0]);
  ::waitpid(child, nullptr, 0);
  if (text == "cannot change user") GTEST_SKIP() << "not run as root";
  EXPECT_EQ("Cannot open " + image +
                ": Permission denied (reading a card's device takes root: run "
                "it with sudo)",
            text);
}

// An MBR with one FAT32 (LBA) partition from 1 MiB to the end.
void WritePartitionTable(const std::string& image, std::uint32_t sectors) {
  Bytes table(512);
  table[446 + 4] = 0x0c;
  testing::PutUint32(table, 446 + 8, 2048);
  testing::PutUint32(table, 446 + 12, sectors - 2048);
  table[510] = 0x55;
  table[511] = 0xaa;
  const int fd = ::open(image.c_str(), O_WRONLY);
  ASSERT_NE(-1, fd);
  ASSERT_EQ(512, ::pwrite(fd, table.data(), 512, 0));
  ::close(fd);
}

TEST(CardSourcePosix, FolderOnTheSourceIsFoundByTheMountsDevice) {
  ScopedTempDir dir;
  const std::string image = dir.File("card.img");
  MustRun("truncate --size 32M " + ShellQuoted(image));
  WritePartitionTable(image, 32 * 2048);
  const std::string other_image = dir.File("other.img");
  MustRun("truncate --size 1M " + ShellQuoted(other_image));
  std::string why;
  const auto card = LoopDevice::Make(image, true, why);
  if (!card) GTEST_SKIP() << why;
  const auto other = LoopDevice::Make(other_image, false, why);
  if (!other) GTEST_SKIP() << why;
  const std::string partition = card->Path() + "p1";
  MustRun("mkfs.exfat " + ShellQuoted(partition));
  const std::string folder = dir.File("mnt");
  MustRun("mkdir " + ShellQuoted(folder));
  const auto mounted = Mounted::ExFat(partition, folder, why);
  if (!mounted) GTEST_SKIP() << why;
  const std::string inside = folder + "/recovered/new";

  const struct {
    std::string source, folder;
    bool refused;
  } cases[] = {
      {card->Path(), inside, true},  // a partition of the source
      {partition, folder, true},     // the source itself
      {image, inside, true},         // held in the image, through the loop
      {card->Path(), dir.Path(), false},
      {other->Path(), inside, false},
      {other_image, inside, false},
  };
  for (const auto& c : cases) {
    const std::string reason =
        WhyFolderIsOnSource(c.folder, CardSource(c.source));
    EXPECT_EQ(c.refused, !reason.empty())
        << c.source << " " << c.folder << ": " << reason;
    if (c.refused) {
      EXPECT_EQ(0u, reason.find(c.folder + " is on a file system (" +
                                partition + " mounted at " + folder + ")"))
          << reason;
    }
  }
}

}  // namespace
}  // namespace velkrane
