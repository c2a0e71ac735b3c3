#pragma once

#include <windows.h>

#include <string>

#include "platform/result.h"

namespace meterstation {

// The system's own text for a Win32 error code, one line.
std::string systemReason(DWORD error);
// A failure carrying the calling thread's last error.
inline Result lastErrorFailure() { return Result::failure(systemReason(GetLastError())); }

}  // namespace meterstation
