#pragma once

#include <windows.h>

#include "platform/win32/win32_durable_files.h"

namespace meterstation {

// An open file, closed through the calls table when it goes out of scope.
// Unlike close(2) on a network file system, CloseHandle reports nothing
// about data already written: FlushFileBuffers is where a write fails, so
// no close here is checked.
class FileHandle {
 public:
  FileHandle(HANDLE handle, const Win32FileCalls& calls)
      : handle_(handle), close_(calls.closeHandle) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() { close(); }

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  // Keeps the caller's last error: a close on the way out of a failure
  // must not replace the reason being reported.
  void close() {
    if (!valid()) return;
    const DWORD error = GetLastError();
    close_(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    SetLastError(error);
  }

 private:
  HANDLE handle_;
  const std::function<BOOL(HANDLE)>& close_;
};

// Rights to look at a file while others read, write or delete it.
inline constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// While the station writes a file nobody may delete or rename it: the
// Linux adapter's checks for a file that lost its name are not needed.
inline constexpr DWORD kShareWhileWriting = FILE_SHARE_READ | FILE_SHARE_WRITE;

}  // namespace meterstation
