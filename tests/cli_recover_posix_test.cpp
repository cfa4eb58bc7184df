// velkrane-cli recover on real cards: FAT32 and exFAT made in image files,
// photos copied in, some deleted, the card quick-formatted; a partitioned
// card; a loop device as a card reader's device; a read that fails in the
// middle (tools/eio-fuse); and an output folder on the card being read. A
// case the machine refuses (no loop device, no mount) is skipped with the
// reason. Every loop device and mount is undone at scope exit.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli_process.h"
#include "real_devices.h"
#include "test_util.h"
#include "x3f_sample.h"

namespace velkrane {
namespace {

using testing::Bytes;
using testing::CliRun;
using testing::Filler;
using testing::LoopDevice;
using testing::Mounted;
using testing::MustRun;
using testing::ReadFile;
using testing::RunCli;
using testing::ScopedTempDir;
using testing::ShellQuoted;
using testing::WriteFile;
using Json = nlohmann::json;

/// Photos of a few hundred KB as cameras lay them out, each
/// with sections of its own size and bytes.
std::vector<Bytes> Photos(std::size_t count, unsigned seed) {
  std::vector<Bytes> photos;
  for (std::size_t k = 0; k < count; ++k) {
    const auto& order = k % 2 == 0 ? testing::kIma2Last : testing::kPropLast;
    Bytes bytes = testing::MakeX3f(order, seed + static_cast<unsigned>(k),
                                   40 * 1024 + 23 * 1024 * (k % 5) + 7 * k)
                      .bytes;
    photos.push_back(std::move(bytes));
  }
  return photos;
}

Bytes Materialized(const testing::SparseFile& file) {
  Bytes bytes(static_cast<std::size_t>(file.size));
  for (const auto& piece : file.pieces) {
    std::copy(piece.second.begin(), piece.second.end(),
              bytes.begin() + piece.first);
  }
  return bytes;
}

struct Recovery {
  CliRun run;
  std::vector<Json> photos;  // in card order
  Json summary;
};

Recovery Recover(const std::string& source, const std::string& output) {
  Recovery recovery;
  recovery.run = RunCli({"recover", source, "-o", output, "--json"});
  std::istringstream lines(recovery.run.out);
  for (std::string line; std::getline(lines, line);) {
    const Json object = Json::parse(line);
    if (object.value("type", "") == "photo") recovery.photos.push_back(object);
    if (object.value("type", "") == "summary") recovery.summary = object;
  }
  std::stable_sort(recovery.photos.begin(), recovery.photos.end(),
                   [](const Json& a, const Json& b) {
                     return a["offset"].get<std::uint64_t>() <
                            b["offset"].get<std::uint64_t>();
                   });
  return recovery;
}

/// Every photo of `want` recovered whole, in card order, their names sorting
/// in that order too, and nothing else found.
void ExpectAllRecovered(const Recovery& got, const std::vector<Bytes>& want,
                        const std::string& outcome = "recovered") {
  EXPECT_EQ(0, got.run.status) << got.run.err;
  ASSERT_EQ(want.size(), got.photos.size()) << got.run.out << got.run.err;
  EXPECT_EQ(want.size(), got.summary["found"].get<std::size_t>());
  EXPECT_EQ(want.size(), got.summary[outcome].get<std::size_t>());
  EXPECT_EQ(0u, got.summary["unreadable_bytes"].get<std::uint64_t>());
  std::string last_name;
  for (std::size_t k = 0; k < want.size(); ++k) {
    const Json& photo = got.photos[k];
    EXPECT_EQ(outcome, photo["outcome"]) << photo;
    EXPECT_EQ(want[k].size(), photo["length"].get<std::size_t>()) << photo;
    const std::string target = photo["target"].get<std::string>();
    EXPECT_TRUE(ReadFile(target) == want[k]) << target;
    EXPECT_LT(last_name, target);
    last_name = target;
  }
}

std::string MustMake(const std::string& folder) {
  MustRun("mkdir -p " + ShellQuoted(folder));
  return folder;
}

// A FAT32 card: photos copied in with mtools between other files, the second
// deleted, then a quick format (a new, empty file system over the same
// data). A second run finds them all already there.
TEST(RecoverCard, Fat32FormattedWithADeletedPhoto) {
  ScopedTempDir dir;
  const std::string card = dir.File("card.img");
  MustRun("truncate --size 64M " + ShellQuoted(card));
  const std::string format = "mkfs.vfat -F 32 -s 1 " + ShellQuoted(card);
  MustRun(format);
  const std::vector<Bytes> photos = Photos(4, 10);
  MustRun("mmd -i " + ShellQuoted(card) + " ::DCIM ::DCIM/100SIGMA");
  const auto copy = [&](const std::string& name, const Bytes& bytes) {
    WriteFile(dir.File(name), bytes);
    MustRun("mcopy -i " + ShellQuoted(card) + " " +
            ShellQuoted(dir.File(name)) + " ::DCIM/100SIGMA/" + name);
  };
  for (std::size_t k = 0; k < photos.size(); ++k) {
    copy("SDIM000" + std::to_string(k) + ".X3F", photos[k]);
    copy("SDIM000" + std::to_string(k) + ".JPG",
         Filler(70000, static_cast<unsigned>(k)));
  }
  MustRun("mdel -i " + ShellQuoted(card) + " ::DCIM/100SIGMA/SDIM0001.X3F");
  MustRun(format);
  ASSERT_EQ("", MustRun("mdir -b -i " + ShellQuoted(card) + " ::"));

  const std::string output = dir.File("recovered");
  ExpectAllRecovered(Recover(card, output), photos);
  ExpectAllRecovered(Recover(card, output), photos, "already_there");
}

// exFAT, filled through exfat-fuse on a loop device, read back from that
// device as from a card reader. While the card is mounted, an output folder
// on it is refused before anything is read or written.
TEST(RecoverCard, ExFatFromTheLoopDeviceAndNeverIntoIt) {
  ScopedTempDir dir;
  const std::string card = dir.File("card.img");
  MustRun("truncate --size 64M " + ShellQuoted(card));
  std::string why;
  const auto loop = LoopDevice::Make(card, false, why);
  if (!loop) GTEST_SKIP() << why;
  const std::string format = "mkfs.exfat " + ShellQuoted(loop->Path());
  MustRun(format);
  const std::string mount = MustMake(dir.File("mnt"));
  std::vector<Bytes> photos = Photos(5, 30);
  // One of camera size, over several of the pass's blocks.
  photos.insert(photos.begin() + 2,
                Materialized(testing::LargeX3f(testing::kIma2Last, 12345678)));
  {
    const auto mounted = Mounted::ExFat(loop->Path(), mount, why);
    if (!mounted) GTEST_SKIP() << why;
    MustMake(mount + "/DCIM/100SIGMA");
    for (std::size_t k = 0; k < photos.size(); ++k) {
      const std::string name =
          "/DCIM/100SIGMA/SDIM000" + std::to_string(k) + ".X3F";
      WriteFile(mount + name, photos[k]);
      WriteFile(mount + name + ".jpg", Filler(50000, static_cast<unsigned>(k)));
    }
    MustRun("rm " + ShellQuoted(mount + "/DCIM/100SIGMA/SDIM0003.X3F"));
  }
  MustRun(format);
  {
    const auto mounted = Mounted::ExFat(loop->Path(), mount, why);
    if (!mounted) GTEST_SKIP() << why;
    const std::string inside = mount + "/recovered";
    const CliRun refused = RunCli({"recover", loop->Path(), "-o", inside});
    EXPECT_EQ(2, refused.status);
    EXPECT_NE(std::string::npos, refused.err.find(inside)) << refused.err;
    EXPECT_NE(std::string::npos, refused.err.find("device being read"))
        << refused.err;
    EXPECT_FALSE(testing::Exists(inside));
  }
  ExpectAllRecovered(Recover(loop->Path(), dir.File("recovered")), photos);
}

// An MBR card whose FAT32 partition starts at 1 MiB: read whole as an image,
// and its partition read as a device of its own.
TEST(RecoverCard, PartitionedCard) {
  ScopedTempDir dir;
  const std::string card = dir.File("card.img");
  MustRun("truncate --size 48M " + ShellQuoted(card));
  Bytes table = ReadFile(card);
  table.resize(512);
  table[446 + 4] = 0x0c;  // FAT32, LBA
  testing::PutUint32(table, 446 + 8, 2048);
  testing::PutUint32(table, 446 + 12, 48 * 2048 - 2048);
  table[510] = 0x55;
  table[511] = 0xaa;
  {
    std::fstream out(card, std::ios::in | std::ios::out | std::ios::binary);
    out.write(reinterpret_cast<const char*>(table.data()), 512);
    ASSERT_TRUE(out.good());
  }
  MustRun("mkfs.vfat -F 32 -s 1 --offset 2048 " + ShellQuoted(card) + " " +
          std::to_string((48 * 1024 - 1024)));
  const std::string partition = card + "@@1M";
  const std::vector<Bytes> photos = Photos(3, 50);
  for (std::size_t k = 0; k < photos.size(); ++k) {
    const std::string name = dir.File("SDIM" + std::to_string(k) + ".X3F");
    WriteFile(name, photos[k]);
    MustRun("mcopy -i " + ShellQuoted(partition) + " " + ShellQuoted(name) +
            " ::");
  }
  ASSERT_NE("", MustRun("mdir -b -i " + ShellQuoted(partition) + " ::"));
  const Recovery whole = Recover(card, dir.File("whole"));
  ExpectAllRecovered(whole, photos);
  std::string why;
  const auto loop = LoopDevice::Make(card, true, why);
  if (!loop) GTEST_SKIP() << why;
  const Recovery part = Recover(loop->Path() + "p1", dir.File("part"));
  ExpectAllRecovered(part, photos);
  // The same photos, counted from the partition's start.
  for (std::size_t k = 0; k < part.photos.size() && k < whole.photos.size();
       ++k) {
    EXPECT_EQ(whole.photos[k]["offset"].get<std::uint64_t>(),
              part.photos[k]["offset"].get<std::uint64_t>() + 1024 * 1024);
  }
}

// A failing card: a read in the middle of the second photo fails with EIO.
// That photo is incomplete, the others are recovered whole, and the one bad
// sector is counted.
TEST(RecoverCard, ReadErrorInTheMiddle) {
  ScopedTempDir dir;
  const std::vector<Bytes> photos = Photos(3, 70);
  Bytes card = Filler(100000, 1);
  std::vector<std::size_t> offsets;
  for (const Bytes& photo : photos) {
    offsets.push_back(card.size());
    card.insert(card.end(), photo.begin(), photo.end());
    const Bytes gap = Filler(30000 + 512 * offsets.size(), 2);
    card.insert(card.end(), gap.begin(), gap.end());
  }
  const std::string bytes = dir.File("card.img");
  WriteFile(bytes, card);
  const std::string mount = MustMake(dir.File("fuse"));
  const std::size_t bad = offsets[1] + photos[1].size() / 2;
  std::string why;
  const auto mounted =
      Mounted::FailingFile(bytes, mount, std::to_string(bad), why);
  if (!mounted) GTEST_SKIP() << why;

  const Recovery got = Recover(mount + "/card.img", dir.File("recovered"));
  EXPECT_EQ(1, got.run.status) << got.run.err;
  ASSERT_EQ(3u, got.photos.size()) << got.run.out << got.run.err;
  for (std::size_t k = 0; k < 3; ++k) {
    const Json& photo = got.photos[k];
    EXPECT_EQ(offsets[k], photo["offset"].get<std::size_t>()) << photo;
    if (k == 1) {
      EXPECT_EQ("incomplete", photo["outcome"]) << photo;
      EXPECT_TRUE(photo["target"].is_null()) << photo;
    } else {
      EXPECT_EQ("recovered", photo["outcome"]) << photo;
      EXPECT_TRUE(ReadFile(photo["target"].get<std::string>()) == photos[k]);
    }
  }
  EXPECT_EQ(2u, got.summary["recovered"].get<std::size_t>());
  EXPECT_EQ(1u, got.summary["incomplete"].get<std::size_t>());
  EXPECT_EQ(512u, got.summary["unreadable_bytes"].get<std::uint64_t>());
  EXPECT_EQ(card.size(), got.summary["bytes_read"].get<std::uint64_t>());
  EXPECT_EQ(2u, testing::Listing(dir.File("recovered")).size());
}

}  // namespace
}  // namespace velkrane
