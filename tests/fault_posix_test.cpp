// Faults injected for real: a full disk, a failing flush, an unwritable
// folder, a source that changes under the copy, hostile names. Each case runs
// in a child process under a watchdog, and afterwards the source, an earlier
// good copy and the output folder are checked.

#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <thread>

#include "batch/batch_run.h"
#include "fileio/error.h"
#include "fileio/path_parts.h"
#include "recording_window.h"
#include "test_util.h"
#include "x3f/repair.h"
#include "x3f/tail_repair.h"
#include "x3f_sample.h"

namespace velkrane {
namespace {

using testing::Bytes;
using testing::Exists;
using testing::Filler;
using testing::Listing;
using testing::Plant;
using testing::ReadFile;
using testing::RecordingWindow;
using testing::ScopedTempDir;
using testing::WriteFile;

constexpr int kWatchdogSeconds = 60;

// Runs `body` in a child process and returns what it printed, or "blocked"
// when it did not finish in time (it is then killed).
std::string RunWatched(const std::function<std::string()>& body) {
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe_fds[0]);
    std::string report;
    try {
      report = body();
    } catch (const std::exception& e) {
      report = std::string("error: ") + e.what();
    }
    const ssize_t ignored = ::write(pipe_fds[1], report.data(), report.size());
    (void)ignored;
    ::_exit(0);
  }
  ::close(pipe_fds[1]);
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(kWatchdogSeconds);
  int status = 0;
  while (::waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      ::close(pipe_fds[0]);
      return "blocked";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::string report;
  char chunk[4096];
  for (ssize_t got; (got = ::read(pipe_fds[0], chunk, sizeof chunk)) > 0;) {
    report.append(chunk, static_cast<std::size_t>(got));
  }
  ::close(pipe_fds[0]);
  return report;
}

std::string Repair(const std::string& source, const std::string& target) {
  std::string message = "unset";
  PostProcessFile(source, target, message);
  return message;
}

struct Snapshot {
  Bytes bytes;
  struct timespec mtime;
};

Snapshot Take(const std::string& path) {
  struct stat info;
  EXPECT_EQ(0, ::stat(path.c_str(), &info)) << path;
  return {ReadFile(path), info.st_mtim};
}

void ExpectUnchanged(const Snapshot& before, const std::string& path) {
  const Snapshot now = Take(path);
  EXPECT_EQ(before.bytes, now.bytes) << path;
  EXPECT_EQ(before.mtime.tv_sec, now.mtime.tv_sec) << path;
  EXPECT_EQ(before.mtime.tv_nsec, now.mtime.tv_nsec) << path;
}

// A source with its tail at `tail` and 1 KiB of junk after it, and an earlier
// good copy of other data already at the target.
struct Scene {
  ScopedTempDir dir;
  std::string source = dir.File("IMG 0001.X3F");
  std::string out = dir.File("PostProcessed");
  std::string target = out + "/IMG 0001.X3F";

  explicit Scene(std::size_t tail) {
    Bytes bytes = Filler(tail + 1024, 11);
    Plant(bytes, tail);
    WriteFile(source, bytes);
    ::mkdir(out.c_str(), 0777);
    Bytes earlier = Filler(100, 12);
    Plant(earlier, 92);
    WriteFile(target, earlier);
  }
  void ExpectOnlyTheEarlierCopy() const {
    EXPECT_EQ(std::vector<std::string>{"IMG 0001.X3F"}, Listing(out));
  }
};

TEST(Faults, DiskFullPartWayThroughTheCopy) {
  Scene scene(200000);
  const Snapshot source = Take(scene.source), earlier = Take(scene.target);
  const std::string report = RunWatched([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit limit = {50000, 50000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    return Repair(scene.source, scene.target);
  });
  EXPECT_EQ(std::string("error: ") + kStreamWriteError, report);
  ExpectUnchanged(source, scene.source);
  ExpectUnchanged(earlier, scene.target);
  scene.ExpectOnlyTheEarlierCopy();
}

// A tmpfs mount that is taken down at scope exit.
class ScopedTinyDisk {
 public:
  explicit ScopedTinyDisk(const std::string& where) : where_(where) {
    mounted_ = ::mount("tmpfs", where.c_str(), "tmpfs", 0, "size=64k") == 0;
  }
  ~ScopedTinyDisk() {
    if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }

 private:
  std::string where_;
  bool mounted_;
};

TEST(Faults, TinyDiskFillsUp) {
  Scene scene(300000);
  const ScopedTinyDisk disk(scene.out);
  if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
  Bytes earlier = Filler(100, 12);
  Plant(earlier, 92);
  WriteFile(scene.target, earlier);
  const Snapshot source = Take(scene.source), before = Take(scene.target);

  RecordingWindow window;
  window.entries = {scene.source};
  const std::string report = RunWatched([&] {
    RunBatch(window);
    return window.shown.at(1);
  });
  EXPECT_EQ("status: IMG 0001.X3F:Failed to post-process - Stream write error", report);
  ExpectUnchanged(source, scene.source);
  ExpectUnchanged(before, scene.target);
  scene.ExpectOnlyTheEarlierCopy();
}

TEST(Faults, UnwritableOutputFolder) {
  Scene scene(5000);
  const Snapshot source = Take(scene.source), earlier = Take(scene.target);
  ASSERT_EQ(0, ::chmod(scene.out.c_str(), 0555));
  RecordingWindow window;
  window.entries = {scene.source, scene.source};
  const std::string report = RunWatched([&] {
    // Root ignores mode bits, so the child gives up root first.
    if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      return std::string("cannot drop root");
    }
    RunBatch(window);
    return window.shown.at(1) + "|" + window.shown.at(3) + "|" + window.shown.at(4);
  });
  const std::string failed = "status: IMG 0001.X3F:Failed to post-process - Cannot create " +
                             scene.target + ": Permission denied";
  EXPECT_EQ(failed + "|" + failed + "|status: Ready.", report);
  ::chmod(scene.out.c_str(), 0755);
  ExpectUnchanged(source, scene.source);
  ExpectUnchanged(earlier, scene.target);
  scene.ExpectOnlyTheEarlierCopy();
}

// From here on every fsync and fdatasync of this process fails with EIO, as
// on a card pulled out mid-write. False when the kernel will not filter.
bool FailEveryFlush() {
  struct sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_fsync, 1, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_fdatasync, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EIO),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  struct sock_fprog program = {sizeof filter / sizeof filter[0], filter};
  return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

TEST(Faults, FlushFails) {
  // The copy never reached the disk, so it must not take the target's name.
  for (const bool earlier_copy : {true, false}) {
    SCOPED_TRACE(earlier_copy ? "earlier copy kept" : "new folder");
    Scene scene(5000);
    if (!earlier_copy) {
      ASSERT_EQ(0, ::unlink(scene.target.c_str()));
      ASSERT_EQ(0, ::rmdir(scene.out.c_str()));
    }
    const Snapshot source = Take(scene.source);
    const Snapshot earlier = earlier_copy ? Take(scene.target) : Snapshot{};
    RecordingWindow window;
    window.entries = {scene.source};
    const std::string report = RunWatched([&] {
      if (!FailEveryFlush()) return std::string("no filter");
      RunBatch(window);
      return window.shown.at(1);
    });
    if (report == "no filter")
      GTEST_SKIP() << "the kernel refuses a seccomp filter";
    EXPECT_EQ(
        "status: IMG 0001.X3F:Failed to post-process - Stream write error",
        report);
    ExpectUnchanged(source, scene.source);
    if (earlier_copy) {
      ExpectUnchanged(earlier, scene.target);
      scene.ExpectOnlyTheEarlierCopy();
    } else {
      EXPECT_EQ(std::vector<std::string>{}, Listing(scene.out));
    }
  }
}

std::string changing_source;

TEST(Faults, SourceChangesBetweenSearchAndCopy) {
  const struct {
    const char* name;
    void (*change)();
    std::string outcome;
  } cases[] = {
      {"shrinks", [] { ::truncate(changing_source.c_str(), 1000); },
       std::string("error: ") + kStreamReadError},
      {"tail overwritten",
       [] {
         const Bytes zeros(8, 0);
         FILE* file = std::fopen(changing_source.c_str(), "r+b");
         std::fseek(file, 5000, SEEK_SET);
         std::fwrite(zeros.data(), 1, zeros.size(), file);
         std::fclose(file);
       },
       std::string("error: ") + kStreamReadError},
      // The open handle still reads the whole file.
      {"disappears", [] { ::unlink(changing_source.c_str()); },
       std::string(kTailFoundPrefix) + "IMG 0001.X3F"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Scene scene(5000);
    const Bytes original = ReadFile(scene.source);
    const Snapshot earlier = Take(scene.target);
    changing_source = scene.source;
    const std::string report = RunWatched([&] {
      RepairOptions options;
      options.after_search = c.change;
      const RepairOutcome outcome = RepairFile(scene.source, scene.target, options);
      return outcome.result == RepairResult::kRepaired
                 ? kTailFoundPrefix + FileNamePart(scene.target)
                 : std::string("not repaired");
    });
    EXPECT_EQ(c.outcome, report);
    if (report == c.outcome && report.rfind("error: ", 0) == 0) {
      ExpectUnchanged(earlier, scene.target);
    } else {
      EXPECT_EQ(Bytes(original.begin(), original.begin() + 5008), ReadFile(scene.target));
    }
    scene.ExpectOnlyTheEarlierCopy();
  }
}

TEST(Faults, X3fChangesBetweenSearchAndCopy) {
  // A copy cut at the directory is checked by its own verdict: one whose
  // directory or section signatures changed under the copy is not committed.
  const testing::X3fLayout x3f = testing::MakeX3f(testing::kIma2Last);
  const struct {
    const char* name;
    std::size_t at;
  } cases[] = {
      {"directory overwritten", x3f.directory},
      {"section signature overwritten", x3f.offsets[2]},
      {"offset overwritten", x3f.bytes.size() - 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedTempDir dir;
    const std::string source = dir.File("IMG.X3F");
    const std::string target = dir.File("out.X3F");
    WriteFile(source, testing::Joined(x3f.bytes, Filler(300)));
    RepairOptions options;
    options.after_search = [&] {
      FILE* file = std::fopen(source.c_str(), "r+b");
      std::fseek(file, static_cast<long>(c.at), SEEK_SET);
      std::fputs("SECx", file);
      std::fclose(file);
    };
    try {
      RepairFile(source, target, options);
      ADD_FAILURE() << "committed";
    } catch (const Error& e) {
      EXPECT_STREQ(kStreamReadError, e.what());
    }
    EXPECT_EQ(std::vector<std::string>{"IMG.X3F"}, Listing(dir.Path()));
  }
}

TEST(Faults, HostileNames) {
  ScopedTempDir dir;
  Bytes bytes = Filler(300, 5);
  Plant(bytes, 200);
  const std::string names[] = {
      "with spaces  inside.X3F", "-rf --help.X3F", "line\nbreak.X3F",
      "\xe5\x86\x99\xe7\x9c\x9f \xc3\xa9\xe2\x82\xac.X3F", "back\\slash:colon.X3F",
      "*?[glob].X3F"};
  RecordingWindow window;
  for (const auto& name : names) {
    WriteFile(dir.File(name), bytes);
    window.entries.push_back(dir.File(name));
  }
  const std::string report = RunWatched([&] {
    RunBatch(window);
    std::string all;
    for (const auto& text : window.shown) all += text + "|";
    return all;
  });
  std::string want;
  for (const auto& name : names) {
    want += "status: Processing file " + name + "...|status: " + name + ":" +
            kTailFoundPrefix + name + "|";
  }
  want += "status: Ready.|box: Post-Process Completed. - New X3F Files were Saved at" +
          dir.File("PostProcessed") + "/|";
  EXPECT_EQ(want, report);
  for (const auto& name : names) {
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 208),
              ReadFile(dir.File("PostProcessed/" + name)));
  }
}

}  // namespace
}  // namespace velkrane
