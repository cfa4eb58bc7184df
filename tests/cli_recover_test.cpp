// velkrane-cli recover as a user runs it: the real program on image files.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "batch/output_names.h"
#include "cli_process.h"
#include "test_util.h"
#include "x3f_sample.h"

namespace velkrane {
namespace {

using testing::Bytes;
using testing::CliRun;
using testing::Filler;
using testing::Joined;
using testing::MakeX3f;
using testing::RunCli;
using testing::ScopedTempDir;
using Json = nlohmann::ordered_json;  // keeps the order written

std::vector<Json> JsonLines(const std::string& text) {
  std::vector<Json> objects;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    objects.push_back(Json::parse(line));
  }
  return objects;
}

std::vector<std::string> Keys(const Json& object) {
  std::vector<std::string> keys;
  for (auto it = object.begin(); it != object.end(); ++it) {
    keys.push_back(it.key());
  }
  return keys;
}

TEST(CommandLineRecover, JsonDryRunAndExitStatus) {
  ScopedTempDir dir;
  const Bytes photo = MakeX3f(testing::kIma2Last, 1, 3000).bytes;
  const Bytes cut =
      testing::Head(MakeX3f(testing::kPropLast, 2, 3000).bytes, 5000);
  // 1000 bytes of other data first, then the photo, then one cut short.
  const Bytes card = Joined(Joined(Filler(1000, 7), photo), cut);
  const std::string image = dir.File("card.img");
  testing::WriteFile(image, card);
  const std::string out = dir.File("out");
  const std::string name = RecoveredPhotoName(1000);
  const auto cut_at = static_cast<std::int64_t>(1000 + photo.size());

  const CliRun dry = RunCli({"recover", "-n", "--json", image, "-o", out});
  EXPECT_EQ(1, dry.status) << dry.err;  // one photo is incomplete
  EXPECT_FALSE(testing::Exists(out));
  const std::vector<Json> seen = JsonLines(dry.out);
  ASSERT_EQ(3u, seen.size()) << dry.out;
  const std::vector<std::string> photo_keys = {"type",      "source",  "offset",
                                               "length",    "outcome", "target",
                                               "structure", "error"};
  EXPECT_EQ(photo_keys, Keys(seen[0]));
  EXPECT_EQ(Json({{"type", "photo"},
                  {"source", image},
                  {"offset", 1000},
                  {"length", photo.size()},
                  {"outcome", "would_recover"},
                  {"target", nullptr},
                  {"structure", "complete"},
                  {"error", nullptr}}),
            seen[0]);
  EXPECT_EQ("incomplete", seen[1]["outcome"]);
  EXPECT_EQ(cut_at, seen[1]["offset"]);
  EXPECT_TRUE(seen[1]["length"].is_null());
  EXPECT_TRUE(seen[1]["target"].is_null());
  const std::vector<std::string> summary_keys = {
      "type",       "found",      "recovered",  "already_there",
      "incomplete", "failed",     "bytes_read", "unreadable_bytes",
      "output",     "interrupted"};
  EXPECT_EQ(summary_keys, Keys(seen[2]));
  EXPECT_EQ(2, seen[2]["found"]);
  EXPECT_EQ(card.size(), seen[2]["bytes_read"]);
  EXPECT_TRUE(seen[2]["output"].is_null());

  const CliRun run = RunCli({"recover", image, "-o", out, "--keep-incomplete"});
  EXPECT_EQ(1, run.status) << run.err;
  EXPECT_EQ(photo, testing::ReadFile(out + "/" + name));
  EXPECT_EQ(cut, testing::ReadFile(out + "/" + IncompletePhotoName(cut_at)));
  EXPECT_NE(std::string::npos, run.out.find(image + "@1000: recovered as " +
                                            name + " (complete X3F)\n"))
      << run.out;

  // The same card without the cut photo: a second run is all done.
  testing::WriteFile(image, Joined(Filler(1000, 7), photo));
  const CliRun again = RunCli({"recover", "--json", "-q", image, "-o", out});
  EXPECT_EQ(0, again.status) << again.err;
  const std::vector<Json> quiet = JsonLines(again.out);
  ASSERT_EQ(1u, quiet.size()) << again.out;  // -q: the summary only
  EXPECT_EQ(1, quiet[0]["already_there"]);
  EXPECT_EQ(out, quiet[0]["output"]);

  const CliRun empty_card = [&] {
    testing::WriteFile(image, Filler(5000, 3));
    return RunCli({"recover", image, "-o", out});
  }();
  EXPECT_EQ(1, empty_card.status);
  EXPECT_NE(std::string::npos, empty_card.err.find("No X3F photos found."));

  const struct {
    std::vector<std::string> args;
    int status;
    const char* error;  // in stderr
  } cases[] = {
      {{"recover", image}, 2, "--output is required"},
      {{"recover", "-o", out}, 2, "SOURCE is required"},
      {{"recover", image, "-o", ""}, 2, "the folder name is empty"},
      {{"recover", image, "-o", out, "--bogus"}, 2, "--bogus"},
      {{"recover", image, "-o", image + "/x"}, 2, "Cannot recover into"},
      {{"recover", dir.File("gone.img"), "-o", out}, 1, "gone.img"},
      {{"recover", dir.Path(), "-o", out}, 1, "it is a folder"},
  };
  for (const auto& c : cases) {
    const CliRun result = RunCli(c.args);
    EXPECT_EQ(c.status, result.status) << c.args.back() << result.err;
    EXPECT_NE(std::string::npos, result.err.find(c.error))
        << c.error << " in " << result.err;
  }

  const CliRun help = RunCli({"recover", "--help"});
  EXPECT_EQ(0, help.status);
  EXPECT_NE(std::string::npos, help.out.find("./recover")) << help.out;
  EXPECT_NE(std::string::npos, help.out.find("--keep-incomplete"));
  const CliRun top_help = RunCli({"--help"});
  EXPECT_NE(std::string::npos,
            top_help.out.find("velkrane-cli recover: SOURCE... -o DIR"))
      << top_help.out;
}

}  // namespace
}  // namespace velkrane
