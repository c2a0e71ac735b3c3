#pragma once

#include <pthread.h>
#include <spawn.h>

namespace meterstation::bench {

// The priority the bench's own helpers (the sender, the relay, the outside
// watch) run at when the bench may: above every ordinary process, so that a
// loaded machine starves the station, not the measurement.
constexpr int kHelperPriority = 50;

// Puts the thread under SCHED_FIFO; false when not permitted.
bool raiseThread(pthread_t thread);

// Makes a posix_spawn start its program under SCHED_FIFO.
void raiseSpawned(posix_spawnattr_t& attributes);

}  // namespace meterstation::bench
