#include "bench/real_time.h"

#include <sched.h>

namespace meterstation::bench {

bool raiseThread(pthread_t thread) {
  sched_param param{};
  param.sched_priority = kHelperPriority;
  return pthread_setschedparam(thread, SCHED_FIFO, &param) == 0;
}

void raiseSpawned(posix_spawnattr_t& attributes) {
  sched_param param{};
  param.sched_priority = kHelperPriority;
  posix_spawnattr_setschedpolicy(&attributes, SCHED_FIFO);
  posix_spawnattr_setschedparam(&attributes, &param);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSCHEDULER);
}

}  // namespace meterstation::bench
