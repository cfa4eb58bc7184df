// velkrane-cli on POSIX only: Ctrl+C in the middle of a tree, and the live
// progress line on a terminal.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "batch/repair_one.h"
#include "batch/run_texts.h"
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
