// The repair under faults injected for real: a full disk, a failing flush, an
// unwritable folder, a source that changes under the copy, hostile names. Each
// case runs in a child process under a watchdog, and afterwards the source,
// an earlier good copy and the output folder are checked.

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
#include "batch/repair_one.h"
#include "batch/run_texts.h"
#include "fileio/error.h"
#include "fileio/path_parts.h"
#include "recording_window.h"
#include "test_util.h"
#include "x3f/repair.h"
#include "x3f_sample.h"

namespace velkrane {
namespace {

using testing::Bytes;
using testing::Filler;
using testing::Head;
using testing::Listing;
using testing::ReadFile;
using testing::RecordingWindow;
using testing::Repair;
using testing::ScopedTempDir;
using testing::WriteFile;
using testing::WriteSource;

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
  Snapshot source_before, earlier_before;

  explicit Scene(std::size_t tail) {
    WriteSource(source, tail, tail + 1024, 11);
    ::mkdir(out.c_str(), 0777);
    WriteSource(target, 92, 100, 12);
    TakeSnapshots();
  }
  void TakeSnapshots() {
    source_before = Take(source);
    earlier_before = Take(target);
  }
  void ExpectOnlyTheEarlierCopy() const {
    EXPECT_EQ(std::vector<std::string>{"IMG 0001.X3F"}, Listing(out));
  }
  // The source and the earlier copy as they were, and nothing beside it.
  void ExpectUntouched() const {
    ExpectUnchanged(source_before, source);
    ExpectUnchanged(earlier_before, target);
    ExpectOnlyTheEarlierCopy();
  }
};

TEST(Faults, DiskFullPartWayThroughTheCopy) {
  Scene scene(200000);
  const std::string report = RunWatched([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit limit = {50000, 50000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    return Repair(scene.source, scene.target);
  });
  EXPECT_EQ(std::string("error: ") + kStreamWriteError, report);
  scene.ExpectUntouched();
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
  WriteSource(scene.target, 92, 100, 12);
  scene.TakeSnapshots();

  RecordingWindow window;
  window.entries = {scene.source};
  const std::string report = RunWatched([&] {
    RunBatch(window);
    return window.shown.at(1);
  });
  EXPECT_EQ("status: IMG 0001.X3F:Failed to post-process - Stream write error",
            report);
  scene.ExpectUntouched();
}

TEST(Faults, UnwritableOutputFolder) {
  Scene scene(5000);
  ASSERT_EQ(0, ::chmod(scene.out.c_str(), 0555));
  RecordingWindow window;
  window.entries = {scene.source, scene.source};
  const std::string report = RunWatched([&] {
    // Root ignores mode bits, so the child gives up root first.
    if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      return std::string("cannot drop root");
    }
    RunBatch(window);
    return window.shown.at(1) + "|" + window.shown.at(3) + "|" +
           window.shown.at(4);
  });
  const std::string failed =
      "status: IMG 0001.X3F:Failed to post-process - Cannot create " +
      scene.target + ": Permission denied";
  EXPECT_EQ(failed + "|" + failed + "|status: Ready.", report);
  ::chmod(scene.out.c_str(), 0755);
  scene.ExpectUntouched();
}

// From here on every fsync and fdatasync of this process fails with EIO, as
// on a card pulled out mid-write; with `folders_only`, only fsync, which the
// file layer calls for folders alone (a copy's data go with fdatasync).
// False when the kernel will not filter.
bool FailEveryFlush(bool folders_only = false) {
  struct sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_fsync, 1, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K,
               static_cast<__u32>(folders_only ? SYS_fsync : SYS_fdatasync), 0,
               1),
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
    // Twice: the second copy is made while the first one's flush fails.
    RecordingWindow window;
    window.entries = {scene.source, scene.source};
    const std::string report = RunWatched([&] {
      if (!FailEveryFlush()) return std::string("no filter");
      RunBatch(window);
      return window.shown.at(1) + "\n" + window.shown.at(3);
    });
    if (report == "no filter")
      GTEST_SKIP() << "the kernel refuses a seccomp filter";
    const std::string failed =
        "status: IMG 0001.X3F:Failed to post-process - Stream write error";
    EXPECT_EQ(failed + "\n" + failed, report);
    if (earlier_copy) {
      scene.ExpectUntouched();
    } else {
      ExpectUnchanged(scene.source_before, scene.source);
      EXPECT_EQ(std::vector<std::string>{}, Listing(scene.out));
    }
  }
}

TEST(Faults, FolderFlushFailsAfterTheRename) {
  // The copy has the target's name, so the text says so rather than that
  // the write failed; and no later copy of the run may replace it (here one
  // from another source reaching the same target through a linked folder).
  Scene scene(5000);
  const std::string other = scene.dir.File("other");
  ASSERT_EQ(0, ::mkdir(other.c_str(), 0777));
  ASSERT_EQ(0,
            ::symlink(scene.out.c_str(), (other + "/PostProcessed").c_str()));
  const std::string second = other + "/IMG 0001.X3F";
  WriteSource(second, 3000, 4000, 7);
  const Bytes source_bytes = ReadFile(scene.source);
  RecordingWindow window;
  window.entries = {scene.source, second};
  const std::string report = RunWatched([&] {
    if (!FailEveryFlush(true)) return std::string("no filter");
    RunBatch(window);
    return window.shown.at(1) + "\n" + window.shown.at(3);
  });
  if (report == "no filter")
    GTEST_SKIP() << "the kernel refuses a seccomp filter";
  EXPECT_EQ("status: IMG 0001.X3F:Failed to post-process - Cannot write " +
                scene.target +
                ": the copy is in place, but its folder could not be put on "
                "the disk: Input/output error\n"
                "status: IMG 0001.X3F:Failed to post-process - " +
                TargetTakenError(other + "/PostProcessed/IMG 0001.X3F"),
            report);
  EXPECT_TRUE(Head(source_bytes, 5008) == ReadFile(scene.target));
}

// Writes `text` over the file at `path` from `at` on.
void Overwrite(const std::string& path, long at, const std::string& text) {
  FILE* file = std::fopen(path.c_str(), "r+b");
  std::fseek(file, at, SEEK_SET);
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}

TEST(Faults, SourceChangesBetweenSearchAndCopy) {
  // A copy cut at an X3F's directory is checked by its own verdict: one
  // whose directory, a section signature or the offset changed under the
  // copy is not committed.
  const testing::X3fLayout x3f = testing::MakeX3f(testing::kIma2Last);
  const std::string failed = std::string("error: ") + kStreamReadError;
  const struct {
    const char* name;
    bool is_x3f;
    std::function<void(const std::string&)> change;
    std::string outcome;
  } cases[] = {
      {"shrinks", false,
       [](const std::string& path) { ::truncate(path.c_str(), 1000); }, failed},
      {"tail overwritten", false,
       [](const std::string& path) {
         Overwrite(path, 5000, std::string(8, '\0'));
       },
       failed},
      // The open handle still reads the whole file.
      {"disappears", false,
       [](const std::string& path) { ::unlink(path.c_str()); },
       std::string(kTailFoundPrefix) + "IMG 0001.X3F"},
      {"X3F directory overwritten", true,
       [&](const std::string& path) { Overwrite(path, x3f.directory, "SECx"); },
       failed},
      {"X3F section signature overwritten", true,
       [&](const std::string& path) {
         Overwrite(path, x3f.offsets[2], "SECx");
       },
       failed},
      {"X3F offset overwritten", true,
       [&](const std::string& path) {
         Overwrite(path, x3f.bytes.size() - 4, "SECx");
       },
       failed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Scene scene(5000);
    if (c.is_x3f)
      WriteFile(scene.source, testing::Joined(x3f.bytes, Filler(300)));
    const Bytes original = ReadFile(scene.source);
    const std::string report = RunWatched([&] {
      RepairOptions options;
      options.after_search = [&] { c.change(scene.source); };
      const RepairOutcome outcome =
          RepairFile(scene.source, scene.target, options);
      return outcome.result == RepairResult::kRepaired
                 ? kTailFoundPrefix + FileNamePart(scene.target)
                 : std::string("not repaired");
    });
    EXPECT_EQ(c.outcome, report);
    if (report == c.outcome && report.rfind("error: ", 0) == 0) {
      ExpectUnchanged(scene.earlier_before, scene.target);
    } else {
      EXPECT_EQ(Head(original, 5008), ReadFile(scene.target));
    }
    scene.ExpectOnlyTheEarlierCopy();
  }
}

TEST(Faults, HostileNames) {
  ScopedTempDir dir;
  const std::string names[] = {
      "with spaces  inside.X3F",
      "-rf --help.X3F",
      "line\nbreak.X3F",
      "\xe5\x86\x99\xe7\x9c\x9f \xc3\xa9\xe2\x82\xac.X3F",
      "back\\slash:colon.X3F",
      "*?[glob].X3F"};
  RecordingWindow window;
  Bytes bytes;
  for (const auto& name : names) {
    bytes = WriteSource(dir.File(name), 200, 300, 5);
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
  want +=
      "status: Ready.|box: Post-Process Completed. - New X3F Files were Saved "
      "at" +
      dir.File("PostProcessed") + "/|";
  EXPECT_EQ(want, report);
  for (const auto& name : names) {
    EXPECT_EQ(Head(bytes, 208), ReadFile(dir.File("PostProcessed/" + name)));
  }
}

}  // namespace
}  // namespace velkrane
