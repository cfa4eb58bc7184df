// The file layer on every platform: what its owners release, and when.

#include "fileio/file_io.h"

#include <gtest/gtest.h>

#include <utility>

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

}  // namespace
}  // namespace velkrane
