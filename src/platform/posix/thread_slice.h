#pragma once

#include <chrono>

#include "platform/result.h"

namespace meterstation {

// The slice the thread that reads and stamps the port's bytes asks the
// scheduler for. It sleeps nearly all the time and runs briefly when bytes
// come; on a loaded machine a woken thread with the ordinary slice may wait
// for the running process's slice to end, a few milliseconds by which its
// stamps would come late. The scheduler puts a thread with a short slice
// first when it wakes, and the request asks no privilege.
constexpr std::chrono::microseconds kReaderThreadSlice{500};

// Asks for the slice for the calling thread; kernels without custom slices
// (before 6.12) take the request and go on as before, or refuse it, which
// comes back as a failure that changes nothing.
Result requestShortSlice(std::chrono::microseconds slice = kReaderThreadSlice);

}  // namespace meterstation
