// CardSource over image files, the part every platform shares (Windows runs
// it under Wine): block reads, the end, and the sources it refuses.

#include "fileio/card_source.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fileio/error.h"
#include "test_util.h"

namespace velkrane {
namespace {

using testing::Bytes;
using testing::Filler;
using testing::ScopedTempDir;
using testing::WriteFile;

std::string ErrorOf(const std::string& path) {
  try {
    CardSource source(path);
  } catch (const Error& e) {
    return e.what();
  }
  return "opened";
}

TEST(CardSource, ReadsAnImageToItsEnd) {
  ScopedTempDir dir;
  const std::string path = dir.File("card.img");
  // Not a whole number of sectors: the last read is short.
  const Bytes bytes = Filler(3 * 512 + 100, 7);
  WriteFile(path, bytes);
  CardSource source(path);
  EXPECT_FALSE(source.IsDevice());
  EXPECT_EQ(bytes.size(), source.Size());
  EXPECT_EQ(512u, source.SectorSize());

  const struct {
    std::uint64_t offset;
    std::size_t length, want;
  } cases[] = {
      {0, 1024, 1024},    // within
      {512, 1000, 1000},  // a length that is no whole number of sectors
      {1024, 4096, 612},  // short at the end only
      {1536, 100, 100},   // exactly the last bytes
      {2048, 512, 0},     // past the end
  };
  for (const auto& c : cases) {
    std::vector<char> buffer(c.length, 'x');
    std::vector<ByteRange> unreadable;
    EXPECT_EQ(c.want,
              source.Read(c.offset, buffer.data(), c.length, unreadable))
        << c.offset;
    EXPECT_TRUE(unreadable.empty());
    EXPECT_EQ(0, std::memcmp(buffer.data(), bytes.data() + c.offset, c.want))
        << c.offset;
  }
  std::vector<char> buffer(512);
  std::vector<ByteRange> unreadable;
  EXPECT_THROW(source.Read(100, buffer.data(), buffer.size(), unreadable),
               Error);
}

TEST(CardSource, RefusesWhatIsNoCard) {
  ScopedTempDir dir;
  const std::string missing = dir.File("missing.img");
  const std::string missing_error = ErrorOf(missing);
  EXPECT_EQ(0u, missing_error.find("Cannot open " + missing + ": "))
      << missing_error;
  EXPECT_EQ("Cannot open " + dir.Path() +
                ": it is a folder; name the card's device or an image file",
            ErrorOf(dir.Path()));
  // An empty image is a card with nothing on it, not an error.
  WriteFile(dir.File("empty.img"), {});
  EXPECT_EQ(0u, CardSource(dir.File("empty.img")).Size());
}

TEST(CardSource, OutputFolderBesideAnImageIsFine) {
  ScopedTempDir dir;
  const std::string image = dir.File("card.img");
  WriteFile(image, Filler(4096));
  const CardSource source(image);
  EXPECT_EQ("", WhyFolderIsOnSource(dir.Path(), source));
  EXPECT_EQ("", WhyFolderIsOnSource(dir.File("new/deeper"), source));
  // A folder can never be the image itself.
  EXPECT_EQ(image + " is the image being read",
            WhyFolderIsOnSource(image, source));
}

}  // namespace
}  // namespace velkrane
