// The file layer on every platform: what its owners release, and when.

#include "fileio/file_io.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "fileio/error.h"
#include "fileio/path_parts.h"
#include "test_util.h"

namespace velkrane {
namespace {

using testing::Bytes;
using testing::Filler;
using testing::Listing;
using testing::ReadFile;
using testing::ScopedTempDir;
using testing::WriteFile;

TEST(OutputFileOwnership, MovesHandTheTemporaryOverAndDropsTheOldOne) {
  ScopedTempDir dir;
  const Bytes bytes = Filler(1000);
  WriteFile(dir.File("src"), bytes);
  const InputFile source(dir.File("src"));
  {
    OutputFile first(dir.File("first"));
    OutputFile second(dir.File("second"));
    first.CopyFrom(source, 10);
    EXPECT_EQ(3u, Listing(dir.Path()).size());  // src and two temporaries

    // The temporary `first` held is closed, then deleted: Windows refuses to
    // delete a file that is still open, so the other order would leave it.
    first = std::move(second);
    EXPECT_EQ(2u, Listing(dir.Path()).size());

    OutputFile third(std::move(first));
    third.CopyFrom(source, 100);
    third.Commit();
  }  // the moved-from files own nothing and delete nothing
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 100),
            ReadFile(dir.File("second")));
  EXPECT_EQ(2u, Listing(dir.Path()).size());

  {
    OutputFile dropped(dir.File("dropped"));
    dropped.CopyFrom(source, 10);
  }
  EXPECT_EQ(2u, Listing(dir.Path()).size());
}

// More entries than one read of a folder returns (Windows reads 64 KiB of
// them at a time), each once and with its kind; identity sees through paths.
TEST(FolderListing, LargeFolderAndIdentities) {
  ScopedTempDir dir;
  constexpr std::size_t kFiles = 600;
  const std::string stem(100, 'n');
  for (std::size_t i = 0; i < kFiles; ++i) {
    WriteFile(dir.File(stem + std::to_string(i)), {});
  }
  CreateFolders(dir.File("sub"));
  std::set<std::string> files;
  for (const FolderEntry& entry : ListFolder(dir.Path())) {
    if (entry.name == "sub") {
      EXPECT_EQ(EntryKind::kFolder, entry.kind);
    } else {
      EXPECT_EQ(EntryKind::kFile, entry.kind) << entry.name;
      EXPECT_TRUE(files.insert(entry.name).second) << entry.name;
    }
  }
  EXPECT_EQ(kFiles, files.size());

  const std::string sub = WithTrailingSeparator(dir.File("sub"));
  EXPECT_EQ(IdentityOf(dir.Path()), IdentityOf(sub + ".."));
  EXPECT_FALSE(IdentityOf(dir.Path()) == IdentityOf(sub));
  EXPECT_FALSE(IdentityOf(dir.File(stem + "1")) ==
               IdentityOf(dir.File(stem + "2")));
  try {
    IdentityOf(sub + "gone");
    ADD_FAILURE() << "no error for a missing path";
  } catch (const Error& e) {
    EXPECT_EQ(0u, std::string(e.what()).rfind(
                      "Cannot open folder " + sub + "gone: ", 0))
        << e.what();
  }
}

}  // namespace
}  // namespace velkrane
