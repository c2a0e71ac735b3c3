#include "platform/win32/win32_host.h"

#include <windows.h>

#include "platform/win32/app_data_directory.h"
#include "platform/win32/wide_text.h"

namespace meterstation {

std::string Win32Host::dataDirectory() { return appDataDirectory(); }

// A window program started from a console writes there in the console's
// own characters; redirected, it writes the station's bytes as they are.
// Started from the desktop it has no standard error, and the line is lost
// as it would be on Linux.
void Win32Host::printError(const std::string& line) {
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(error, &mode)) {
    const std::wstring wide = widen(line) + L"\r\n";
    WriteConsoleW(error, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  const std::string bytes = line + "\r\n";
  WriteFile(error, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

LockOutcome Win32Host::lock(const std::string& path) { return locks_.lock(path); }

void Win32Host::unlock(const std::string& path) { locks_.unlock(path); }

int Win32Host::processId() { return static_cast<int>(GetCurrentProcessId()); }

// A process of another user's that may not be looked into exists too.
bool Win32Host::processRunning(int pid) {
  if (pid <= 0) return false;
  const HANDLE process =
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
  DWORD code = 0;
  const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
  CloseHandle(process);
  return running;
}

}  // namespace meterstation
