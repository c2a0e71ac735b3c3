#include "platform/posix/thread_slice.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

namespace meterstation {

namespace {

// The kernel's struct sched_attr as it first came; the C library of the
// time has no wrapper for the call.
struct SchedAttr {
  std::uint32_t size;
  std::uint32_t schedPolicy;
  std::uint64_t schedFlags;
  std::int32_t schedNice;
  std::uint32_t schedPriority;
  std::uint64_t schedRuntime;
  std::uint64_t schedDeadline;
  std::uint64_t schedPeriod;
};

}  // namespace

Result requestShortSlice(std::chrono::microseconds slice) {
#ifdef SYS_sched_setattr
  const auto thread = static_cast<id_t>(syscall(SYS_gettid));
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, thread);
  if (nice == -1 && errno != 0) return Result::failure(std::strerror(errno));
  // The thread keeps its policy and its niceness; only the slice changes.
  SchedAttr attr{};
  attr.size = sizeof attr;
  attr.schedPolicy = SCHED_OTHER;
  attr.schedNice = nice;
  attr.schedRuntime = static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(slice).count());
  if (syscall(SYS_sched_setattr, 0, &attr, 0U) != 0) return Result::failure(std::strerror(errno));
  return Result::success();
#else
  (void)slice;
  return Result::failure("no sched_setattr on this system");
#endif
}

}  // namespace meterstation
