// What only POSIX systems have: links, FIFOs, devices, sparse files, and
// names in which '\' and ':' are ordinary characters.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <regex>
#include <sstream>

#include "batch/batch_run.h"
#include "batch/repair_one.h"
#include "batch/run_texts.h"
#include "fileio/error.h"
#include "fileio/file_io.h"
#include "fileio/path_parts.h"
#include "test_util.h"

namespace velkrane {
namespace {

using testing::Bytes;
using testing::Exists;
using testing::Filler;
using testing::Head;
using testing::Listing;
using testing::ReadFile;
using testing::Repair;
using testing::ScopedTempDir;
using testing::WriteFile;
using testing::WriteSource;

TEST(PosixPaths, Parts) {
  const struct {
    const char* path;
    const char* folder;
    const char* name;
    const char* output;
  } cases[] = {
      {"/a/b/c.X3F", "/a/b/", "c.X3F", "/a/b/PostProcessed/"},
      {"/c.X3F", "/", "c.X3F", "/PostProcessed/"},
      {"c.X3F", "", "c.X3F", "PostProcessed/"},
      {"/a/C:\\x.X3F", "/a/", "C:\\x.X3F", "/a/PostProcessed/"},
      {"/a/b/", "/a/b/", "", "/a/b/PostProcessed/"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.folder, DirectoryPart(c.path)) << c.path;
    EXPECT_EQ(c.name, FileNamePart(c.path)) << c.path;
    EXPECT_EQ(c.output, OutputFolderFor(c.path)) << c.path;
  }
}

TEST(PosixFiles, SpecialEntriesFailAtOnce) {
  ScopedTempDir dir;
  ASSERT_EQ(0, ::mkfifo(dir.File("fifo").c_str(), 0600));
  ASSERT_EQ(0, ::symlink(dir.File("loop").c_str(), dir.File("loop").c_str()));
  ASSERT_EQ(0,
            ::symlink(dir.File("gone").c_str(), dir.File("dangling").c_str()));
  for (const std::string& source : {dir.File("fifo"), std::string("/dev/zero"),
                                    dir.File("loop"), dir.File("dangling")}) {
    const std::string outcome = Repair(source, dir.File("out.X3F"));
    EXPECT_EQ(0u, outcome.rfind("error: Cannot open " + source, 0)) << outcome;
  }
  EXPECT_FALSE(Exists(dir.File("out.X3F")));
}

TEST(PosixFiles, TargetThatIsTheSourceIsRefused) {
  ScopedTempDir dir;
  const std::string source = dir.File("src.X3F");
  const Bytes bytes = WriteSource(source, 100, 200);
  ASSERT_EQ(0, ::link(source.c_str(), dir.File("hard.X3F").c_str()));
  ASSERT_EQ(0, ::symlink(dir.Path().c_str(), dir.File("alias").c_str()));
  for (const std::string& target :
       {dir.File("hard.X3F"), dir.File("alias/src.X3F")}) {
    EXPECT_EQ(
        "error: Cannot write " + target + ": it is the source file itself",
        Repair(source, target));
    EXPECT_EQ(bytes, ReadFile(source));
  }
  EXPECT_EQ(3u, Listing(dir.Path()).size());
}

TEST(PosixFiles, TwoGigabyteSparseSourceUsesTheWindow) {
  // Sizes are 64-bit: a source past 2 GiB is just one larger than the window.
  ScopedTempDir dir;
  const std::string source = dir.File("huge.X3F");
  WriteSource(source, 500, 1000);
  ASSERT_EQ(0, ::truncate(source.c_str(), (3ll << 30)));
  EXPECT_EQ(std::string(kTailFoundPrefix) + "out.X3F",
            Repair(source, dir.File("out.X3F")));
  EXPECT_EQ(508u, ReadFile(dir.File("out.X3F")).size());
}

TEST(PosixFiles, PlantedTemporaryNamesAreNeverFollowed) {
  // A link lying in wait at the name the copy tries first: it is neither
  // written through nor replaced; the copy takes the next name.
  ScopedTempDir dir;
  const std::string victim = dir.File("victim");
  WriteFile(victim, {'v'});
  testing::PredictableTemporaryNames names;
  const std::string link = names.Next(dir.File("out.X3F"));
  ASSERT_EQ(0, ::symlink(victim.c_str(), link.c_str()));
  const Bytes bytes = WriteSource(dir.File("src.X3F"), 50, 100);
  EXPECT_EQ(std::string(kTailFoundPrefix) + "out.X3F",
            Repair(dir.File("src.X3F"), dir.File("out.X3F")));
  EXPECT_EQ(Bytes{'v'}, ReadFile(victim));
  EXPECT_EQ(Bytes{'v'}, ReadFile(link));
  EXPECT_EQ(Head(bytes, 58), ReadFile(dir.File("out.X3F")));
}

TEST(PosixFiles, CopyBetweenKindsOfFileSystemIsExact) {
  // Between file systems of different kinds the kernel refuses its own copy
  // (EXDEV) and the bytes go through our buffer instead; every one must land.
  ScopedTempDir here;
  if (!testing::fs::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm";
  ScopedTempDir there("/dev/shm");
  struct statfs from, to;
  ASSERT_EQ(0, ::statfs(here.Path().c_str(), &from));
  ASSERT_EQ(0, ::statfs(there.Path().c_str(), &to));
  if (from.f_type == to.f_type) GTEST_SKIP() << "one kind of file system";

  // Several copy blocks and a part block.
  const Bytes bytes = WriteSource(here.File("a.X3F"), 3000017 - 300, 3000017);
  EXPECT_EQ(std::string(kTailFoundPrefix) + "a.X3F",
            Repair(here.File("a.X3F"), there.File("a.X3F")));
  EXPECT_EQ(Head(bytes, bytes.size() - 292), ReadFile(there.File("a.X3F")));
  EXPECT_EQ(1u, Listing(there.Path()).size());
}

TEST(PosixFiles, InputFileReleasesItsDescriptor) {
  ScopedTempDir dir;
  WriteFile(dir.File("a"), Filler(10));
  WriteFile(dir.File("b"), Filler(10));
  const int before = ::dup(0);
  ::close(before);
  {
    InputFile a(dir.File("a"));
    InputFile b(dir.File("b"));
    a = std::move(b);  // must close what a held, the lowest free descriptor
    const int probe = ::dup(0);
    EXPECT_EQ(before, probe);
    ::close(probe);
  }
  const int after = ::dup(0);
  EXPECT_EQ(before, after);
  ::close(after);
}

TEST(PosixFiles, CreateFoldersMakesParents) {
  ScopedTempDir dir;
  CreateFolders(dir.File("a/b/c/"));
  EXPECT_TRUE(FolderExists(dir.File("a/b/c")));
  CreateFolders(dir.File("a/b/c"));  // already there
  WriteFile(dir.File("file"), {'f'});
  EXPECT_THROW(CreateFolders(dir.File("file/sub")), Error);
  EXPECT_THROW(CreateFolders(dir.File("file")), Error);
}

std::string TextOf(const std::string& path) {
  const Bytes bytes = ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

// What a log of `strace -f -y` says about entries reaching the disk and the
// texts written to standard output, in the order the calls returned:
// "mkdir P", "flush P", "rename P Q", "say TEXT", with paths
// relative to `folder` ("." for itself) and the random part of each
// temporary name as "TEMP1", "TEMP2"... in the order they first appear.
std::vector<std::string> DiskEvents(const std::string& log,
                                    const std::string& folder) {
  const std::regex mkdir_call(R"re(^mkdir(?:\(|at\([^,]*, )"([^"]+)".*= 0$)re");
  const std::regex flush_call(R"re(^f(?:data)?sync\(\d+<([^>]+)>\) += 0$)re");
  const std::regex rename_call(
      R"re(^rename(?:at2?)?\(.*?"([^"]+)".*?"([^"]+)".*= 0$)re");
  const std::regex write_call(
      R"re(^write\(1<[^>]*>, "(.*)\\n", \d+\) += \d+$)re");
  const std::regex temporary(R"re((^|/)\.[^/]+\.[0-9a-f]{16}\.tmp$)re");
  // A call another thread's call cut in two, and where it resumed.
  const std::regex thread_call(R"re(^(\d+) +(.*)$)re");
  const std::regex unfinished(R"re(^(.*) <unfinished \.\.\.>$)re");
  const std::regex resumed(R"re(^<\.\.\. \w+ resumed>(.*)$)re");
  const std::string real =
      testing::Utf8(testing::fs::canonical(testing::PathOf(folder)));
  std::map<std::string, std::size_t> temporaries;
  std::map<std::string, std::string> cut;
  const auto relative = [&](std::string path) {
    for (const std::string& base : {folder, real}) {
      if (path == base) return std::string(".");
      if (path.rfind(base + "/", 0) == 0) path = path.substr(base.size() + 1);
    }
    std::smatch t;
    if (!std::regex_search(path, t, temporary)) return path;
    const auto number =
        temporaries.emplace(path, temporaries.size() + 1).first->second;
    return t.prefix().str() + t[1].str() + "TEMP" + std::to_string(number);
  };
  std::vector<std::string> events;
  std::istringstream lines(log);
  std::smatch m;
  for (std::string line; std::getline(lines, line);) {
    if (!std::regex_match(line, m, thread_call)) continue;
    const std::string thread = m[1];
    std::string call = m[2];
    if (std::regex_match(call, m, unfinished)) {
      cut[thread] = m[1];
      continue;
    }
    if (std::regex_match(call, m, resumed)) call = cut[thread] + m[1].str();
    if (std::regex_search(call, m, mkdir_call)) {
      events.push_back("mkdir " + relative(m[1]));
    } else if (std::regex_search(call, m, flush_call)) {
      events.push_back("flush " + relative(m[1]));
    } else if (std::regex_search(call, m, rename_call)) {
      events.push_back("rename " + relative(m[1]) + " " + relative(m[2]));
    } else if (std::regex_search(call, m, write_call)) {
      events.push_back("say " + m[1].str());
    }
  }
  return events;
}

TEST(PosixFiles, CopyIsOnTheDiskBeforeItTakesTheName) {
  // A real Decode run of two files watched under strace: each copy's data
  // reach the disk before its rename, the rename and its folder before the
  // success text, and a folder the run creates is on the disk in its parent
  // before it is used. The second copy is made while the first goes to the
  // disk, on another thread; the commits still come one file after the other.
  ScopedTempDir logs;
  const auto quoted = [](const std::string& path) { return "'" + path + "'"; };
  const int probe = std::system(
      ("strace -o /dev/null true 2>" + quoted(logs.File("refused"))).c_str());
  ASSERT_NE(127, WEXITSTATUS(probe))
      << "strace is missing (tools/install-deps installs it)";
  if (probe != 0) {
    GTEST_SKIP() << "this machine refuses tracing, so the order of the system "
                    "calls cannot be observed: "
                 << TextOf(logs.File("refused"));
  }
  const std::string saved = std::string(":") + kTailFoundPrefix;
  const std::vector<std::string> copies = {
      "flush PostProcessed/TEMP1",
      "rename PostProcessed/TEMP1 PostProcessed/a.X3F",
      "flush PostProcessed",
      "say a.X3F" + saved + "a.X3F",
      "say " + ProcessingText("b.X3F"),
      "flush PostProcessed/TEMP2",
      "rename PostProcessed/TEMP2 PostProcessed/b.X3F",
      "flush PostProcessed",
      "say b.X3F" + saved + "b.X3F",
      "say " + std::string(kReady)};
  std::vector<std::string> replaced = {"say " + ProcessingText("a.X3F")};
  replaced.insert(replaced.end(), copies.begin(), copies.end());
  std::vector<std::string> new_folder = {"say " + ProcessingText("a.X3F"),
                                         "mkdir PostProcessed", "flush ."};
  new_folder.insert(new_folder.end(), copies.begin(), copies.end());
  const struct {
    bool earlier_copy;
    std::vector<std::string> events;
  } cases[] = {{false, new_folder}, {true, replaced}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.earlier_copy ? "earlier copies replaced"
                                : "new folder and copies");
    ScopedTempDir dir;
    const Bytes a = WriteSource(dir.File("a.X3F"), 200, 300);
    const Bytes b = WriteSource(dir.File("b.X3F"), 100, 300, 2);
    if (c.earlier_copy) {
      ASSERT_EQ(0, ::mkdir(dir.File("PostProcessed").c_str(), 0777));
      WriteFile(dir.File("PostProcessed/a.X3F"), Filler(50, 2));
      WriteFile(dir.File("PostProcessed/b.X3F"), Filler(50, 3));
    }
    // LeakSanitizer refuses to run under a tracer; leaks are the suite's
    // business.
    const std::string command =
        "ASAN_OPTIONS=detect_leaks=0 strace -f -y -o " +
        quoted(logs.File("log")) +
        " -s 256 -e trace=mkdir,mkdirat,rename,renameat,renameat2,fsync,"
        "fdatasync,write " +
        quoted(VELKRANE_DECODE_ONCE) + " " + quoted(dir.File("a.X3F")) + " " +
        quoted(dir.File("b.X3F")) + " >" + quoted(logs.File("out"));
    ASSERT_EQ(0, std::system(command.c_str()));
    const std::string out = TextOf(logs.File("out"));
    EXPECT_NE(std::string::npos,
              out.find(std::string("a.X3F:") + kTailFoundPrefix + "a.X3F"));
    EXPECT_NE(std::string::npos,
              out.find(std::string("b.X3F:") + kTailFoundPrefix + "b.X3F"));
    std::vector<std::string> events = c.events;
    events.push_back("say " + SummaryText(dir.File("PostProcessed") + "/"));
    EXPECT_EQ(events, DiskEvents(TextOf(logs.File("log")), dir.Path()));
    EXPECT_EQ(Head(a, 208), ReadFile(dir.File("PostProcessed/a.X3F")));
    EXPECT_EQ(Head(b, 108), ReadFile(dir.File("PostProcessed/b.X3F")));
  }
}

}  // namespace
}  // namespace velkrane
