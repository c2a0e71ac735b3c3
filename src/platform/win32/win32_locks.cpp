#include "platform/win32/win32_locks.h"

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_error.h"

namespace meterstation {

namespace {

// A name deleted and made again between each open and its check is given
// up on rather than chased for ever.
constexpr int kAttempts = 8;
// The locked byte: 2^62, beyond any lock file's end.
constexpr DWORD kLockedByteHigh = 0x40000000;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

OVERLAPPED lockedByte() {
  OVERLAPPED at{};
  at.OffsetHigh = kLockedByteHigh;
  return at;
}

LockOutcome failed(const std::string& reason) {
  LockOutcome outcome;
  outcome.error = reason;
  return outcome;
}

// The holder's id as it wrote it, or 0 when the file holds none.
int readHolder(HANDLE file) {
  char text[32] = {};
  DWORD got = 0;
  OVERLAPPED start{};
  if (!ReadFile(file, text, sizeof text - 1, &got, &start)) return 0;
  long long pid = 0;
  for (DWORD i = 0; i < got && text[i] >= '0' && text[i] <= '9'; ++i) {
    pid = pid * 10 + (text[i] - '0');
    if (pid > 0x7fffffffLL) return 0;
  }
  return static_cast<int>(pid);
}

// The holder writes its id right after taking the lock; a station refused
// in between finds the file still empty and looks again a little later.
int waitForHolder(HANDLE file) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (const int pid = readHolder(file); pid > 0) return pid;
    Sleep(5);
  }
  return 0;
}

// The id is only for messages; a lock whose id could not be written (a
// full disk) still keeps a second station out.
void writeOwnId(HANDLE file) {
  const std::string text = std::to_string(GetCurrentProcessId()) + "\r\n";
  FILE_END_OF_FILE_INFO empty{};
  if (!SetFileInformationByHandle(file, FileEndOfFileInfo, &empty, sizeof empty)) return;
  DWORD written = 0;
  OVERLAPPED start{};
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, &start);
}

LockOutcome refused(HANDLE file, DWORD error) {
  LockOutcome outcome = failed(systemReason(error));
  if (error == ERROR_LOCK_VIOLATION) {
    outcome.holder = waitForHolder(file);
    outcome.error = "held by another process";
  }
  CloseHandle(file);
  return outcome;
}

enum class Naming { Same, Other, Failed };

// Whether the path still names the file whose lock the handle holds: its
// holder may have deleted it between our open and our lock.
Naming namesLockedFile(const std::wstring& path, HANDLE file) {
  BY_HANDLE_FILE_INFORMATION locked{};
  FILE_STANDARD_INFO standard{};
  if (!GetFileInformationByHandle(file, &locked) ||
      !GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard)) {
    return Naming::Failed;
  }
  if (standard.DeletePending) return Naming::Other;
  const HANDLE named = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (named == INVALID_HANDLE_VALUE) {
    // Gone, or still there but deleted and waiting for its last handle.
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_ACCESS_DENIED ? Naming::Other
                                                                         : Naming::Failed;
  }
  BY_HANDLE_FILE_INFORMATION current{};
  const BOOL known = GetFileInformationByHandle(named, &current);
  CloseHandle(named);
  if (!known) return Naming::Failed;
  const bool same = locked.dwVolumeSerialNumber == current.dwVolumeSerialNumber &&
                    locked.nFileIndexHigh == current.nFileIndexHigh &&
                    locked.nFileIndexLow == current.nFileIndexLow;
  return same ? Naming::Same : Naming::Other;
}

}  // namespace

Win32Locks::~Win32Locks() {
  for (const auto& [path, file] : held_) CloseHandle(file);
}

LockOutcome Win32Locks::lock(const std::string& path) {
  if (holds(path)) return LockOutcome{true, 0, {}};
  const std::wstring wide = widen(path);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    // Others open it too, to try their luck and to read the holder's id;
    // the holder deletes it while still holding it.
    const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      // A lock file its holder deleted keeps its name, where deletion is
      // not immediate, until the holder lets it go a moment later.
      const DWORD error = GetLastError();
      if (error != ERROR_ACCESS_DENIED || attempt + 1 == kAttempts) {
        return failed(systemReason(error));
      }
      Sleep(5);
      continue;
    }
    OVERLAPPED at = lockedByte();
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
      return refused(file, GetLastError());
    }
    const Naming naming = namesLockedFile(wide, file);
    if (naming == Naming::Same) {
      writeOwnId(file);
      held_[path] = file;
      return LockOutcome{true, 0, {}};
    }
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (naming == Naming::Failed) return failed(systemReason(error));
  }
  return failed("the lock file was replaced at every try");
}

void Win32Locks::unlock(const std::string& path) {
  const auto found = held_.find(path);
  if (found == held_.end()) return;
  // Closing alone lets the lock go only when the system gets round to it;
  // unlocking first frees it for the next station at once.
  OVERLAPPED at = lockedByte();
  UnlockFileEx(found->second, 0, 1, 0, &at);
  CloseHandle(found->second);
  held_.erase(found);
}

}  // namespace meterstation
