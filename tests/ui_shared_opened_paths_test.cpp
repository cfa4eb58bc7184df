#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "ui/shared/opened_paths.h"

namespace velkrane {
namespace {

using Paths = std::vector<std::string>;

// ListEntriesFor is checked through both windows, at start and on a drop.
TEST(OpenedPaths, UriListLines) {
  const struct {
    std::string text;
    std::optional<Paths> want;
    const char* what;
  } cases[] = {
      {"file:///home/ana/a.X3F\r\nfile:///home/ana/card\r\n",
       Paths{"/home/ana/a.X3F", "/home/ana/card"}, "CR LF, in order"},
      {"file:///a%20b/%E5%86%99%E7%9C%9F.X3F\nfile:///x%2fy%25",
       Paths{"/a b/\xe5\x86\x99\xe7\x9c\x9f.X3F", "/x/y%"},
       "escapes, UTF-8, no last line end"},
      {"FILE://LocalHost/a.X3F\nfile:/b.X3F\n/c d.X3F\n",
       Paths{"/a.X3F", "/b.X3F", "/c d.X3F"},
       "localhost, one slash, a plain path"},
      {"# "
       "comment\nhttp://example.org/a.X3F\nsmb://nas/b.X3F\nfile://nas/c.X3F\n"
       "file:///d.X3F\n",
       Paths{"/d.X3F"}, "comments, other schemes and hosts skipped"},
      {"file:///e.X3F?query#part\nfile:///bad%2\nfile:///bad%zz\nfile:///"
       "nul%00x\n",
       Paths{"/e.X3F"},
       "query and fragment cut; malformed escapes and nulls skipped"},
      {"https://example.org/\r\n", std::nullopt, "no local path at all"},
      {"", std::nullopt, "empty"},
      {"file://\nfile:relative\n", std::nullopt, "no path"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.want, PathsFromUriList(c.text)) << c.what;
}

}  // namespace
}  // namespace velkrane
