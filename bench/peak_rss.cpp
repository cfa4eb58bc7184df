#include "bench/peak_rss.h"

#include <errno.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <string>

namespace velkrane::bench {

std::int64_t PeakRssOfChildKiB(const std::function<void()>& work) {
  // Freed heap that malloc kept would let a child's large buffer reuse pages
  // already counted at the fork and hide it; give them back first.
  ::malloc_trim(0);
  const pid_t child = ::fork();
  if (child < 0) {
    throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
  }
  if (child == 0) {
    // _exit: the parent's destructors (its temporary folder) are not ours.
    try {
      work();
    } catch (...) {
      ::_exit(1);
    }
    ::_exit(0);
  }
  int status = 0;
  struct rusage usage;
  while (::wait4(child, &status, 0, &usage) < 0) {
    if (errno != EINTR) {
      throw std::runtime_error(std::string("wait4: ") + std::strerror(errno));
    }
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error("the measured child failed");
  }
  return static_cast<std::int64_t>(usage.ru_maxrss);
}

}  // namespace velkrane::bench
