// velkrane-cli on POSIX only: Ctrl+C in the middle of a tree or a card, the
// live progress line on a terminal, the sample card among recovered photos.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "batch/output_names.h"
#include "batch/repair_one.h"
#include "batch/run_texts.h"
#include "cli_process.h"
#include "cli_process_posix.h"
#include "test_util.h"
#include "x3f_sample.h"

namespace velkrane {
namespace {

using testing::Bytes;
using testing::ScopedTempDir;

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (auto at = text.find(what); at != std::string::npos;
       at = text.find(what, at + 1)) {
    ++count;
  }
  return count;
}

TEST(CommandLinePosix, InterruptFinishesTheFileInProgress) {
  constexpr int kFiles = 200;
  ScopedTempDir dir;
  const Bytes photo = testing::MakeX3f(testing::kPropLast, 1, 4000).bytes;
  for (int i = 0; i < kFiles; ++i) {
    testing::WriteFile(dir.File("IMG_" + std::to_string(1000 + i) + ".X3F"),
                       testing::Joined(photo, testing::Filler(100)));
  }
  // A one-page pipe that is read only after Ctrl+C: the program blocks on
  // its output a few dozen files in, so the signal always lands mid-run.
  int out[2];
  ASSERT_EQ(0, ::pipe(out));
  ::fcntl(out[0], F_SETPIPE_SZ, 4096);
  const pid_t child = testing::SpawnCli({dir.Path()}, out[1], STDERR_FILENO);
  ::close(out[1]);
  char first = 0;
  ASSERT_EQ(1, ::read(out[0], &first, 1));
  ::kill(child, SIGINT);
  const std::string shown = first + testing::ReadUntilEnd(out[0]);
  ::close(out[0]);
  EXPECT_EQ(130, testing::WaitForExit(child));

  const std::string copies = dir.File(kOutputFolderName);
  const std::vector<std::string> names = testing::Listing(copies);
  const std::size_t done = Count(shown, "Post-processed successfully!");
  EXPECT_EQ(done, names.size()) << "a copy without its line, or a temporary";
  EXPECT_LT(names.size(), static_cast<std::size_t>(kFiles));
  for (const std::string& name : names) {
    EXPECT_EQ(photo, testing::ReadFile(copies + "/" + name)) << name;
  }
  EXPECT_NE(std::string::npos,
            shown.find("Stopped after " + std::to_string(done) + " of " +
                       std::to_string(kFiles) + " files.\n"))
      << shown;
}

/// What velkrane-cli shows on a terminal `columns` wide (0: unknown) while
/// it repairs `folder`; its stdout goes to `out_fd` when one is given.
std::string ShownOnTerminal(const std::string& folder, unsigned short columns,
                            int out_fd = -1) {
  winsize size{};
  size.ws_col = columns;
  int terminal = -1;
  int program_side = -1;
  if (::openpty(&terminal, &program_side, nullptr, nullptr, &size) != 0) {
    ADD_FAILURE() << "no terminal";
    return "";
  }
  const pid_t child = testing::SpawnCli(
      {folder}, out_fd < 0 ? program_side : out_fd, program_side);
  ::close(program_side);
  // Once the program is gone, reading the terminal side fails with EIO.
  const std::string shown = testing::ReadUntilEnd(terminal);
  ::close(terminal);
  EXPECT_EQ(0, testing::WaitForExit(child));
  return shown;
}

TEST(CommandLinePosix, ProgressLineOnlyOnATerminal) {
  ScopedTempDir dir;
  for (const char* name : {"a.X3F", "b.X3F"}) {
    testing::WriteFile(dir.File(name),
                       testing::MakeX3f(testing::kPropLast).bytes);
  }
  const std::string shown = ShownOnTerminal(dir.Path(), 0);
  EXPECT_NE(std::string::npos, shown.find("\r[1/2] a.X3F")) << shown;
  EXPECT_NE(std::string::npos, shown.find("\r[2/2] b.X3F")) << shown;
  // Each progress text is blanked before the file's own line replaces it.
  EXPECT_NE(
      std::string::npos,
      shown.find("\r[2/2] b.X3F\r" + std::string(11, ' ') + "\r" + dir.Path()))
      << shown;
}

// A line longer than the terminal would wrap, and "\r" would then return to
// its last row only: the progress text is cut to one column less than the
// terminal, a wide character counting two and a broken byte one.
TEST(CommandLinePosix, ProgressLineFitsTheTerminal) {
  const struct {
    const char* name;
    const char* shown;
  } cases[] = {
      {"\xE5\x86\x99\xE7\x9C\x9F.X3F", "[1/1] \xE5\x86\x99"},
      {"\xE5_ab.X3F", "[1/1] \xE5_a"},
  };
  for (const auto& c : cases) {
    ScopedTempDir dir;
    testing::WriteFile(dir.File(c.name),
                       testing::MakeX3f(testing::kPropLast).bytes);
    const std::string shown = ShownOnTerminal(dir.Path(), 10);
    EXPECT_NE(std::string::npos, shown.find("\r" + std::string(c.shown) + "\r"))
        << shown;
  }
}

// Ctrl+C during a recovery: the block in progress is finished, the photos
// still open are removed, and the summary says where the pass stopped.
TEST(CommandLinePosix, InterruptStopsTheRecoveryBetweenBlocks) {
  constexpr int kPhotos = 300;
  ScopedTempDir dir;
  const Bytes photo = testing::MakeX3f(testing::kIma2Last, 1, 10000).bytes;
  Bytes card;
  for (int i = 0; i < kPhotos; ++i) {
    card = testing::Joined(testing::Joined(card, photo), Bytes(1000));
  }
  const std::string image = dir.File("card.img");
  testing::WriteFile(image, card);
  const std::string out = dir.File("out");
  int pipe_fds[2];
  ASSERT_EQ(0, ::pipe(pipe_fds));
  ::fcntl(pipe_fds[0], F_SETPIPE_SZ, 4096);
  const pid_t child = testing::SpawnCli({"recover", "--json", image, "-o", out},
                                        pipe_fds[1], STDERR_FILENO);
  ::close(pipe_fds[1]);
  char first = 0;
  ASSERT_EQ(1, ::read(pipe_fds[0], &first, 1));
  ::kill(child, SIGINT);
  const std::string shown = first + testing::ReadUntilEnd(pipe_fds[0]);
  ::close(pipe_fds[0]);
  EXPECT_EQ(130, testing::WaitForExit(child));

  const std::vector<std::string> names = testing::Listing(out);
  EXPECT_EQ(Count(shown, "\"outcome\":\"recovered\""), names.size())
      << "a photo without its line, or a temporary";
  EXPECT_LT(names.size(), static_cast<std::size_t>(kPhotos));
  for (const std::string& name : names) {
    EXPECT_EQ(photo, testing::ReadFile(out + "/" + name)) << name;
  }
  EXPECT_NE(std::string::npos, shown.find("\"interrupted\":true")) << shown;
}

// A PROP section holding TIME (UTF-16 names and values after the entries).
Bytes PropertiesWithTime(const std::string& seconds, std::size_t size) {
  Bytes prop = testing::BytesOf("SECp");
  const auto word = [&prop](std::uint32_t value) {
    for (int i = 0; i < 4; ++i) prop.push_back((value >> (8 * i)) & 0xFF);
  };
  word(0x00020000);
  word(1);  // one entry
  word(0);  // UTF-16
  word(0);
  const std::string chars = std::string("TIME") + '\0' + seconds + '\0';
  word(static_cast<std::uint32_t>(chars.size()));
  word(0);  // the name at character 0, the value after it
  word(5);
  for (const char c : chars) {
    prop.push_back(static_cast<unsigned char>(c));
    prop.push_back(0);
  }
  prop.resize(size);
  return prop;
}

// The screenshots' sample card, its files laid one after the other on an
// image, and a photo that says when it was taken.
TEST(CommandLinePosix, RecoversTheSampleCardAndTheCaptureTime) {
  ScopedTempDir dir;
  ASSERT_EQ(0, std::system((std::string(VELKRANE_SAMPLE_CARD) + " " +
                            dir.Path() + " >/dev/null")
                               .c_str()));
  const std::string files = dir.File("DCIM/100SIGMA/");
  testing::X3fLayout timed = testing::MakeX3f(testing::kIma2Last, 2, 200);
  const Bytes prop = PropertiesWithTime("1262304000", 200);  // 2010-01-01
  std::copy(prop.begin(), prop.end(), timed.bytes.begin() + timed.offsets[1]);
  Bytes card = testing::Filler(2048, 5);
  std::vector<std::pair<std::size_t, Bytes>> photos;
  for (const char* name : {"SDIM0001.X3F", "SDIM0002.X3F", "SDIM0004.X3F"}) {
    const Bytes file = testing::ReadFile(files + name);
    photos.emplace_back(card.size(), file);
    card = testing::Joined(card, file);
  }
  photos.erase(photos.begin() + 1);  // SDIM0002 holds no photo
  photos.emplace_back(card.size(), timed.bytes);
  card = testing::Joined(card, timed.bytes);
  const std::string image = dir.File("card.img");
  testing::WriteFile(image, card);
  const std::string out = dir.File("out");

  const testing::CliRun run = testing::RunCli({"recover", image, "-o", out});
  EXPECT_EQ(0, run.status) << run.out << run.err;
  for (const auto& [offset, file] : photos) {
    // Each up to its directory's end, without the junk glued behind it.
    const std::string name = out + "/" + RecoveredPhotoName(offset);
    const Bytes got = testing::ReadFile(name);
    ASSERT_LE(got.size(), file.size()) << name;
    EXPECT_EQ(testing::Head(file, got.size()), got) << name;
    EXPECT_EQ(file == timed.bytes ? file.size() : 160u, got.size()) << name;
  }
  struct stat info;
  ASSERT_EQ(
      0, ::stat((out + "/" + RecoveredPhotoName(photos.back().first)).c_str(),
                &info));
  EXPECT_EQ(1262304000, info.st_mtime);
}

TEST(CommandLinePosix, RecoveryProgressLineOnATerminal) {
  ScopedTempDir dir;
  const std::string image = dir.File("card.img");
  testing::WriteFile(
      image, testing::Joined(testing::Filler(3000),
                             testing::MakeX3f(testing::kPropLast).bytes));
  int terminal = -1;
  int program_side = -1;
  ASSERT_EQ(0, ::openpty(&terminal, &program_side, nullptr, nullptr, nullptr));
  const pid_t child = testing::SpawnCli({"recover", image, "-o", dir.File("o")},
                                        program_side, program_side);
  ::close(program_side);
  const std::string shown = testing::ReadUntilEnd(terminal);
  ::close(terminal);
  EXPECT_EQ(0, testing::WaitForExit(child));
  EXPECT_NE(std::string::npos, shown.find("\r3.2 kB of 3.2 kB read, "))
      << shown;
  EXPECT_NE(std::string::npos, shown.find("/s, 1 photo found")) << shown;
}

// `velkrane-cli card | head -1` in a terminal: the lines after the first go
// nowhere, and stderr says once that the run goes on, and over how much.
TEST(CommandLinePosix, ClosedOutputIsToldOnTheTerminal) {
  ScopedTempDir dir;
  const Bytes photo = testing::MakeX3f(testing::kPropLast).bytes;
  const std::vector<std::string> names = {"a.X3F", "b.X3F", "c.X3F"};
  for (const std::string& name : names) {
    testing::WriteFile(dir.File(name),
                       testing::Joined(photo, testing::Filler(50)));
  }
  int out[2];
  ASSERT_EQ(0, ::pipe(out));
  ::close(out[0]);
  const std::string shown = ShownOnTerminal(dir.Path(), 0, out[1]);
  ::close(out[1]);
  EXPECT_EQ(
      "velkrane-cli: the output was closed; the repair goes on over 2 more "
      "files.\r\n",
      shown);
  for (const std::string& name : names) {
    EXPECT_EQ(photo,
              testing::ReadFile(dir.File(kOutputFolderName) + "/" + name));
  }
}

}  // namespace
}  // namespace velkrane
